#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace kr90x {

class TFtpClient;

// Where the update files live and which server offers them. The window gets these at
// construction: the program from the build's settings, tests a temp folder and a local
// server.
struct UpdateSettings {
    // The folder of the running program; every update file is read, written and deleted
    // here. Empty: the update flows touch no files at all.
    QString ProgramDirectory;
    QString ServerAddress; // empty: every Login fails at once
    QString Port = QStringLiteral("ftp");
    QByteArray UserName;
    QByteArray Password;
    // First component of every remote path; the server keeps one tree per host name.
    QString HostDirectory;

    // The build's settings (CMake cache variables), for a program living in `programDirectory`.
    static UpdateSettings fromBuild(const QString& programDirectory);

    // "/" + host directory + "/KR90X/" + file name.
    QByteArray remotePath(const QString& fileName) const;
    // The file's path in the program folder; empty when there is no folder.
    QString localPath(const QString& fileName) const;
    // Every client of the window talks to the same server with the same account.
    void configure(TFtpClient& client) const;
};

// What the update flows do outside the program; tests put recorders in their place.
struct UpdateHooks {
    // Starts a program on its own, not waiting for it; the outcome is not examined.
    std::function<void(const QString& program, const QStringList& arguments)> startProgram;
    std::function<void()> beep;
};

// Starts the program as a detached process; used when no other starter is given.
void startDetachedProgram(const QString& program, const QStringList& arguments);

} // namespace kr90x
