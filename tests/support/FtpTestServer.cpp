#include "support/FtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace kr90x::test {

FtpTestServer::~FtpTestServer() {
    if (process_.state() != QProcess::NotRunning) {
        // The vsftpd helper stops its server on TERM (and the kernel kills it on KILL).
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

QString FtpTestServer::start(const QString& fault, double stallSeconds, const QString& faultFile) {
    return startOwn(
        {"--fault", fault, "--stall", QString::number(stallSeconds), "--fault-file", faultFile});
}

QString FtpTestServer::startTls(const Tls& tls, const QString& dataCertificate,
                                const QString& fault) {
    return startOwn({"--tls-cert", tls.certificate, "--tls-key", tls.key, "--data-cert",
                     dataCertificate, "--fault", fault});
}

QString FtpTestServer::startOwn(const QStringList& arguments) {
    if (!dir_.isValid()) {
        return "no temp folder";
    }
    QDir(dir_.path()).mkpath("server");
    QDir(dir_.path()).mkpath("local");
    // Debian's interpreter: the one that sees python3-pyftpdlib.
    process_.setProgram("/usr/bin/python3");
    process_.setArguments(QStringList{KR90X_FTP_SERVER_SCRIPT, "--root", dir_.filePath("server"),
                                      "--log", dir_.filePath("commands.log"), "--release",
                                      dir_.filePath("release")} +
                          arguments);
    return waitForPort();
}

QString FtpTestServer::startVsftpd(const std::optional<Tls>& tls) {
    if (!dir_.isValid()) {
        return "no temp folder";
    }
    vsftpd_ = true;
    QDir(dir_.path()).mkpath("server");
    QDir(dir_.path()).mkpath("local");
    QDir(dir_.path()).mkpath("vsftpd");
    // As root, vsftpd serves the files as its unprivileged "ftp" user.
    QFile::setPermissions(dir_.filePath("server"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadOther | QFileDevice::ExeOther);
    process_.setProgram("/usr/bin/python3");
    QStringList arguments{KR90X_VSFTPD_SCRIPT, "--root", dir_.filePath("server"), "--work",
                          dir_.filePath("vsftpd")};
    if (tls) {
        arguments << "--tls-cert" << tls->certificate << "--tls-key" << tls->key;
        if (!tls->sessionReuse) {
            arguments << "--no-ssl-reuse";
        }
    }
    process_.setArguments(arguments);
    return waitForPort();
}

QString FtpTestServer::waitForPort() {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(10000)) {
        return "server did not start: " + process_.errorString();
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(20000)) {
            return "server printed no port";
        }
    }
    bool ok = false;
    port_ = static_cast<quint16>(process_.readLine().trimmed().toUInt(&ok));
    return ok ? QString() : QStringLiteral("server printed no port");
}

void FtpTestServer::release() const {
    QFile f(dir_.filePath("release"));
    f.open(QIODevice::WriteOnly);
}

QByteArray FtpTestServer::remotePath(const QString& name) const {
    if (vsftpd_ && ::geteuid() != 0) {
        return QFile::encodeName(serverFile(name));
    }
    return "/" + QFile::encodeName(name);
}

QString FtpTestServer::serverFile(const QString& name) const {
    return dir_.filePath("server/" + name);
}

QString FtpTestServer::localFile(const QString& name) const {
    return dir_.filePath("local/" + name);
}

void FtpTestServer::putFile(const QString& name, const QByteArray& content) const {
    QFile f(serverFile(name));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(content);
    }
}

QStringList FtpTestServer::commands() const {
    if (vsftpd_) {
        // vsftpd logs each command as: FTP command: Client "127.0.0.1", "RETR /f"
        QFile f(dir_.filePath("vsftpd/vsftpd.log"));
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        static const QRegularExpression command(R"re(FTP command: Client "[^"]*", "(.*)"$)re");
        QStringList out;
        for (const QString& line : QString::fromLatin1(f.readAll()).split('\n')) {
            if (const auto m = command.match(line); m.hasMatch()) {
                out << m.captured(1);
            }
        }
        return out;
    }
    QFile f(dir_.filePath("commands.log"));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

QByteArray patternBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x & 0xff);
    }
    return bytes;
}

TestCertificates::TestCertificates() {
    QProcess make;
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.start("/bin/bash", {KR90X_CERTS_SCRIPT, dir_.path()});
    if (!make.waitForFinished(30000) || make.exitStatus() != QProcess::NormalExit ||
        make.exitCode() != 0) {
        error_ = "make_test_certs.sh failed: " + QString::fromLocal8Bit(make.readAll());
    }
}

} // namespace kr90x::test
