#pragma once

#include "ftp/FtpTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kr90x {

class TFtpClient;

// Where the update files live and which server offers them. The window gets these at
// construction: the program from the build's settings and the settings files, tests a
// temp folder and a local server.
struct UpdateSettings {
    // The folder of the running program, where its own update is put in place. Empty:
    // the update flows touch no files at all.
    QString ProgramDirectory;
    // Where the manifest, the flashing tool and the firmware go; empty: ProgramDirectory.
    QString DataDirectory;
    // Set when the program does not update itself, with the reason for the log: a
    // packaged build, or a program folder we may not write.
    std::optional<QString> SelfUpdateBlocked;
    QString ServerAddress; // empty: every Login fails at once
    QString Port = QStringLiteral("ftp");
    QByteArray UserName;
    QByteArray Password;
    // First component of every remote path; the server keeps one tree per host name.
    // Empty: the server's host name.
    QString HostDirectory;
    // The publisher's public key as text (base64 of its 32 bytes). Set: manifests count
    // only when signed with it, and nothing is installed without its SHA-256 in one. A
    // text that is no key refuses everything rather than trusting everything.
    QByteArray PublicKey;
    // FTP over TLS, and the CA certificates (a PEM file) that vouch for the server in
    // place of the system's trust store.
    FtpTls Tls = FtpTls::Off;
    QString CaFile;
    // Where the highest sequence of an accepted signed manifest is kept; empty: nowhere,
    // so only the run's own manifests are compared.
    QString SequenceFile;
    // What reading the settings found worth telling; the log tells it at every check.
    QStringList Warnings;

    // The build's settings (CMake cache variables), for a program living in `programDirectory`.
    static UpdateSettings fromBuild(const QString& programDirectory);
    // What the running program uses: the build's settings, then the settings files over
    // them, then where the files may go.
    static UpdateSettings forRunningProgram(const QString& programDirectory);

    // A program that may not update itself keeps its downloads in `dataDirectory`.
    void placeDownloads(bool buildUpdatesItself, const QString& dataDirectory);

    // "/" + host directory + "/KR90X/" + file name.
    QByteArray remotePath(const QString& fileName) const;
    // The file's path: the program's own files in the program folder, the downloads in
    // the data folder; empty when there is no folder.
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

// Starts the program as a detached process, in the program's own folder; used when no
// other starter is given.
void startDetachedProgram(const QString& program, const QStringList& arguments);

} // namespace kr90x
