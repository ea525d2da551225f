#pragma once

#include "update/Sha256.h"

#include <QByteArray>
#include <QString>

#include <functional>
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
    NamedHash hash; // what the manifest names
    bool executable = false;
    // A program, tool or firmware of no bytes is no such thing; an empty manifest is one
    // without values.
    bool mayBeEmpty = false;
    // The manifest is signed: a file whose hash it does not name is not installed.
    bool signedOnly = false;
    // Runs between the check of the bytes and their use: tests change the file there.
    std::function<void()> betweenCheckAndUse;
};

enum class InstallResult { Installed, HashMismatch, HashMissing, Empty, Failed };

// The one rule for the bytes the updates use: signed, only bytes whose hash the signed
// manifest names; unsigned, the named hash when there is one, anything when there is
// none. `actual` is the hash of the very bytes that will be used (nullopt: unreadable).
InstallResult vouch(const InstallRules& rules, const std::optional<Sha256Digest>& actual);
// Whether anything could pass: a file that no manifest vouches for is not fetched.
bool canBeVouchedFor(const InstallRules& rules);

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
// what had that name in one step. The file is opened once and its hash read from that
// descriptor; what then gets the name must be that same file, else it is deleted and
// refused. A download the rules refuse is deleted instead.
InstallOutcome installDownload(const QString& finalPath, const InstallRules& rules);

// Copies `from` into a new file `to` (which must not exist), hashing the very bytes it
// writes, and keeps the copy only when the rules vouch for them: what is then run or
// handed on is what was checked, whatever happens to `from` meanwhile.
InstallOutcome copyVerified(const QString& from, const QString& to, const InstallRules& rules);

// Gives `from` the name `to` (replacing it) only when its bytes still pass the rules at
// that moment, and checks afterwards that the name holds the file that was checked.
InstallOutcome renameVerified(const QString& from, const QString& to, const InstallRules& rules);

// The log line of a download that was not put in place.
QString notInstalledLine(const QString& fileName, const InstallOutcome& outcome);

} // namespace kr90x
