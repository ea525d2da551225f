#include "support/FtpTestServer.h"

#include <QDir>
#include <QFile>

namespace kr90x::test {

FtpTestServer::~FtpTestServer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString FtpTestServer::start(const QString& fault, double stallSeconds, const QString& faultFile) {
    if (!dir_.isValid()) {
        return "no temp folder";
    }
    QDir(dir_.path()).mkpath("server");
    QDir(dir_.path()).mkpath("local");
    // Debian's interpreter: the one that sees python3-pyftpdlib.
    process_.setProgram("/usr/bin/python3");
    process_.setArguments({KR90X_FTP_SERVER_SCRIPT, "--root", dir_.filePath("server"), "--log",
                           dir_.filePath("commands.log"), "--fault", fault, "--stall",
                           QString::number(stallSeconds), "--fault-file", faultFile});
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

} // namespace kr90x::test
