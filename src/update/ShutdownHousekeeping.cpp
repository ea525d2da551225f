#include "update/ShutdownHousekeeping.h"

#include "core/Log.h"
#include "ftp/TFtpClient.h"
#include "update/UpdateFiles.h"

namespace kr90x {

ShutdownHousekeeping::ShutdownHousekeeping(UpdateSettings settings, Log& log,
                                           std::function<void()> beep, RenameFile rename)
    : settings_(std::move(settings)), log_(log), beep_(std::move(beep)),
      rename_(std::move(rename)) {}

void ShutdownHousekeeping::run(const std::vector<Download>& downloads,
                               const NamedHash& signedProgram) {
    if (settings_.ProgramDirectory.isEmpty()) {
        for (const Download& d : downloads) {
            if (d.client && d.client->Connected()) {
                d.client->Abort();
                delete d.client;
            }
        }
        return;
    }
    for (const Download& d : downloads) {
        dropDownload(d);
    }
    // Only after the drops: a program download still connected has lost its file by now.
    // A program that does not update itself leaves its folder alone.
    const QString newProgram = settings_.localPath(files::NewProgram);
    if (!settings_.SelfUpdateBlocked && fileExists(newProgram)) {
        // Signed, a new program left by an earlier run (or by anybody) that no manifest of
        // this run vouches for must not become the program that starts next.
        if (!settings_.PublicKey.trimmed().isEmpty() && !signedProgram.digest) {
            deleteFile(newProgram);
            log_.add(QStringLiteral("Orvo_KR90X_Nuevo.exe no verificado en esta sesión, "
                                    "borrado"));
        } else {
            replaceProgram(signedProgram);
        }
    }
    for (const QString& name : {files::Manifest, files::Firmware}) {
        const QString path = settings_.localPath(name);
        if (fileExists(path)) {
            deleteFile(path);
        }
    }
    // A manifest and a signature are read only while their check runs: ones cut off by
    // the close would otherwise stay for good.
    deleteFile(partPath(settings_.localPath(files::Manifest)));
    deleteFile(partPath(settings_.localPath(files::Signature)));
}

void ShutdownHousekeeping::dropDownload(const Download& d) {
    const QString path = settings_.localPath(d.file);
    if (d.client && d.client->Connected()) {
        d.client->Abort();
        delete d.client;
        deleteFile(path);
    }
    // Nothing writes it any more: what is left of an unfinished download is never used.
    deleteFile(partPath(path));
}

void ShutdownHousekeeping::replaceProgram(const NamedHash& signedProgram) {
    const QString program = settings_.localPath(files::Program);
    const QString newProgram = settings_.localPath(files::NewProgram);
    const QString oldProgram = settings_.localPath(files::OldProgram);
    if (beep_) {
        beep_();
    }
    deleteFile(oldProgram);
    const bool movedAside = rename_(program, oldProgram);
    if (settings_.PublicKey.trimmed().isEmpty()) {
        if (rename_(newProgram, program)) {
            // A program that came over FTP cannot be started until it may be run.
            makeExecutable(program);
            deleteFile(oldProgram);
            return;
        }
    } else if (!fileExists(program)) {
        // The bytes that take the name are hashed now, from the file that is renamed: not
        // those that were checked when it arrived, which may have been replaced since.
        const InstallOutcome replaced = renameVerified(
            newProgram, program, {signedProgram, true, false, true, betweenCheckAndUse_});
        if (replaced.installed()) {
            deleteFile(oldProgram);
            return;
        }
        deleteFile(newProgram);
        log_.add(notInstalledLine(files::NewProgram, replaced));
    }
    if (movedAside) {
        // The next start must find a program: the running one takes its name back, and
        // the new one waits for the next close.
        rename_(oldProgram, program);
    }
}

} // namespace kr90x
