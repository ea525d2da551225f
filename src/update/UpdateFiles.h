#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kr90x {

// The files of the update flows, all in the program folder.
namespace files {
inline const QString Program = QStringLiteral("Orvo_KR90X.exe");
inline const QString NewProgram = QStringLiteral("Orvo_KR90X_Nuevo.exe");
inline const QString OldProgram = QStringLiteral("Orvo_KR90X_old.exe");
inline const QString Flasher = QStringLiteral("OrvoFlash.exe");
inline const QString Firmware = QStringLiteral("OrvoKR90X.hex");
inline const QString Manifest = QStringLiteral("version.ini");
inline const QString Signature = QStringLiteral("version.ini.sig");
} // namespace files

// A download is written under the name with ".part" added and gets its own name only
// once it has arrived completely: a file of the final name is always a whole one.
QString partPath(const QString& finalPath);

// True when a file (or anything else) of that name is there.
bool fileExists(const QString& path);
// Deletes the file; a symbolic link goes, not what it points to. Failures are ignored.
void deleteFile(const QString& path);
// Renames within the folder; fails, changing nothing, when the target name exists.
bool renameFile(const QString& from, const QString& to);
// Lets whoever may read the file run it too.
void makeExecutable(const QString& path);

// What a download must be to be put in place.
struct InstallRules {
    std::optional<QByteArray> sha256; // hexadecimal, as the manifest names it
    bool executable = false;
    // A program, tool or firmware of no bytes is no such thing; an empty manifest is one
    // without values.
    bool mayBeEmpty = false;
    // The manifest is signed: a file whose hash it does not name is not installed.
    bool hashRequired = false;
};

enum class InstallResult { Installed, HashMismatch, HashMissing, Empty, Failed };

struct InstallOutcome {
    InstallResult result = InstallResult::Failed;
    QString reason; // the system's, when the file could not be put in place
    bool installed() const { return result == InstallResult::Installed; }
    // Refused by its hash, which only a forged or damaged file fails.
    bool hashRefused() const {
        return result == InstallResult::HashMismatch || result == InstallResult::HashMissing;
    }
};

// Puts a complete download (at partPath(finalPath)) in place under finalPath, replacing
// what had that name in one step. A download the rules refuse is deleted instead.
InstallOutcome installDownload(const QString& finalPath, const InstallRules& rules);

// The log line of a download that was not put in place.
QString notInstalledLine(const QString& fileName, const InstallOutcome& outcome);

} // namespace kr90x
