#pragma once

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace kr90x::test {

// A cupsd of the test's own, on loopback, from a private copy of the system's
// configuration, with PostScript queues writing into files. Requests go to it through
// CUPS_SERVER, which libcups reads once per process: so a test program starts one
// scheduler for all its tests (a second one would not be reached), and each test adds a
// queue of its own.
class PrivateCups {
public:
    ~PrivateCups() { stop(); }

    // Empty on success, else why not.
    QString start() {
        if (!QFile::exists(QStringLiteral("/usr/sbin/cupsd"))) {
            return QStringLiteral("cupsd is not installed");
        }
        if (!dir_.isValid()) {
            return QStringLiteral("no temporary folder");
        }
        // The scheduler runs its filters as an unprivileged user, who must reach the files.
        QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                               QFileDevice::ExeGroup);
        const QString root = dir_.filePath(QStringLiteral("etc"));
        if (QProcess::execute(QStringLiteral("cp"),
                              {QStringLiteral("-r"), QStringLiteral("/etc/cups"), root}) != 0) {
            return QStringLiteral("cannot copy /etc/cups");
        }
        for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out"}) {
            QDir(dir_.path()).mkpath(QString::fromLatin1(sub));
        }
        // Filters (as the unprivileged user) keep their temporary files here.
        ::chmod(QFile::encodeName(dir_.filePath(QStringLiteral("tmp"))).constData(), 01777);
        ::chmod(QFile::encodeName(dir_.filePath(QStringLiteral("out"))).constData(), 0777);
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port_ = probe.serverPort();
        }
        write(root + QStringLiteral("/cupsd.conf"),
              QStringLiteral("Listen 127.0.0.1:%1\n"
                             "LogLevel warn\n"
                             "PreserveJobFiles Yes\n"
                             "Browsing No\n"
                             "DefaultAuthType None\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  JobPrivateAccess all\n"
                             "  JobPrivateValues none\n  <Limit All>\n    Order deny,allow\n"
                             "  </Limit>\n</Policy>\n")
                  .arg(port_));
        const bool root_ = ::getuid() == 0;
        write(
            root + QStringLiteral("/cups-files.conf"),
            QStringLiteral("FileDevice Yes\n"
                           "ServerRoot %1\n"
                           "RequestRoot %2/spool\n"
                           "TempDir %2/tmp\n"
                           "CacheDir %2/cache\n"
                           "StateDir %2/state\n"
                           "AccessLog %2/log/access_log\n"
                           "ErrorLog %2/log/error_log\n"
                           "PageLog %2/log/page_log\n"
                           "%3")
                .arg(root, dir_.path(),
                     root_ ? QStringLiteral("User lp\nGroup lp\nSystemGroup root\n") : QString()));
        cupsd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        cupsd_.start(QStringLiteral("/usr/sbin/cupsd"),
                     {QStringLiteral("-f"), QStringLiteral("-c"),
                      root + QStringLiteral("/cupsd.conf"), QStringLiteral("-s"),
                      root + QStringLiteral("/cups-files.conf")});
        if (!cupsd_.waitForStarted(5000)) {
            return QStringLiteral("cupsd did not start");
        }
        if (!waitForPort()) {
            return QStringLiteral("cupsd does not listen: ") + log();
        }
        qputenv("CUPS_SERVER", server().toLatin1());
        return {};
    }

    // Adds a queue that writes into its own file; empty on failure (see log()). The
    // printer has its duplex unit installed. Each job writes over the file from its
    // start without cutting it: read and remove it between jobs.
    QString addQueue() {
        const QString queue = QStringLiteral("kr90x_test_%1").arg(++queues_);
        const int rc = QProcess::execute(
            QStringLiteral("/usr/sbin/lpadmin"),
            {QStringLiteral("-h"), server(), QStringLiteral("-p"), queue, QStringLiteral("-v"),
             QStringLiteral("file:") + outputFile(queue), QStringLiteral("-m"),
             QStringLiteral("drv:///sample.drv/generic.ppd"), QStringLiteral("-o"),
             QStringLiteral("Option1=True"), QStringLiteral("-E")});
        return rc == 0 ? queue : QString();
    }

    void stop() {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(5000)) {
                cupsd_.kill();
                cupsd_.waitForFinished(5000);
            }
        }
    }

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // The document of a job as the scheduler received it (kept after the job).
    QString jobDocument(int job) const {
        return dir_.filePath(QStringLiteral("spool/d%1-001").arg(job, 5, 10, QLatin1Char('0')));
    }
    QString outputFile(const QString& queue) const {
        return dir_.filePath(QStringLiteral("out/%1.ps").arg(queue));
    }
    QString log() const {
        QFile f(dir_.filePath(QStringLiteral("log/error_log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // Jobs of the queue that have completed.
    int completedJobs(const QString& queue) const {
        QProcess p;
        p.start(QStringLiteral("lpstat"),
                {QStringLiteral("-h"), server(), QStringLiteral("-W"), QStringLiteral("completed"),
                 QStringLiteral("-o"), queue});
        if (!p.waitForFinished(10000)) {
            return -1;
        }
        return static_cast<int>(QString::fromUtf8(p.readAllStandardOutput())
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                    .size());
    }

    // The ids of the queue's completed jobs, oldest first.
    std::vector<int> completedJobIds(const QString& queue) const {
        QProcess p;
        p.start(QStringLiteral("lpstat"),
                {QStringLiteral("-h"), server(), QStringLiteral("-W"), QStringLiteral("completed"),
                 QStringLiteral("-o"), queue});
        std::vector<int> ids;
        if (!p.waitForFinished(10000)) {
            return ids;
        }
        // "queue-12  user  4096  date"
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput())
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            ids.push_back(
                line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('-'), -1).toInt());
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    // What CUPS keeps of a job, as ipptool prints it: attribute name -> value text
    // ("copies" -> "2", "sides" -> "two-sided-long-edge").
    QMap<QString, QString> jobAttributes(const QString& queue, int job) const {
        const QString test = dir_.filePath(QStringLiteral("get-job.test"));
        write(test, QStringLiteral("{\nOPERATION Get-Job-Attributes\n"
                                   "GROUP operation-attributes-tag\n"
                                   "ATTR charset attributes-charset utf-8\n"
                                   "ATTR naturalLanguage attributes-natural-language en\n"
                                   "ATTR uri printer-uri $uri\n"
                                   "ATTR integer job-id $job-id\n"
                                   "ATTR keyword requested-attributes all\n}\n"));
        QProcess p;
        p.start(QStringLiteral("ipptool"),
                {QStringLiteral("-tv"), QStringLiteral("-d"), QStringLiteral("job-id=%1").arg(job),
                 QStringLiteral("ipp://%1/printers/%2").arg(server(), queue), test});
        QMap<QString, QString> attributes;
        if (!p.waitForFinished(10000)) {
            return attributes;
        }
        // "        copies (integer) = 2"
        static const QRegularExpression line(QStringLiteral("^\\s+(\\S+) \\([^)]*\\) = (.*)$"));
        for (const QString& text : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
            const QRegularExpressionMatch m = line.match(text);
            if (m.hasMatch()) {
                attributes.insert(m.captured(1), m.captured(2));
            }
        }
        return attributes;
    }

private:
    static void write(const QString& file, const QString& text) {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(text.toUtf8());
        }
    }

    bool waitForPort() {
        for (int i = 0; i < 200; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(50)) {
                return true;
            }
            if (cupsd_.state() == QProcess::NotRunning) {
                return false;
            }
            cupsd_.waitForFinished(25); // the bound of the wait, not a sleep for an event
        }
        return false;
    }

    QTemporaryDir dir_;
    QProcess cupsd_;
    quint16 port_ = 0;
    int queues_ = 0;
};

} // namespace kr90x::test
