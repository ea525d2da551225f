#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kr90x::test {

// An Xvfb of the test's own on a display it picks itself (-displayfd), so that test
// programs running side by side never share one. Stopped with the object.
class PrivateXServer {
public:
    ~PrivateXServer() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            server_.waitForFinished(5000);
        }
    }

    // The display (":N"), or empty when Xvfb could not be started.
    QString start() {
        const QString numberFile = dir_.filePath(QStringLiteral("display"));
        server_.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten "
                                      "tcp 3>\"$0\""),
                       numberFile});
        if (!server_.waitForStarted(5000)) {
            return {};
        }
        // Xvfb writes the display number once it accepts clients.
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && server_.state() == QProcess::Running) {
            QFile f(numberFile);
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray line = f.readAll();
                if (line.endsWith('\n')) {
                    return QStringLiteral(":") + QString::fromLatin1(line.trimmed());
                }
            }
            server_.waitForFinished(20); // the bound of one look, not a sleep for an event
        }
        return {};
    }

private:
    QTemporaryDir dir_;
    QProcess server_;
};

} // namespace kr90x::test
