#include "update/FirmwareUpdate.h"

#include "core/AppState.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "ftp/TFtpClient.h"
#include "update/FtpStatusLog.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTrust.h"

#include <QFileInfo>

#include <tuple>

namespace kr90x {

FirmwareUpdate::FirmwareUpdate(AppState& state, Log& log, DialogService& dialogs,
                               UpdateTrust& trust, TFtpClient* client, UpdateSettings settings,
                               ExpectedHash expectedHash,
                               std::function<void(const QString&, const QStringList&)> startProgram)
    : state_(state), log_(log), dialogs_(dialogs), trust_(trust), client_(client),
      settings_(std::move(settings)), expectedHash_(std::move(expectedHash)),
      startProgram_(std::move(startProgram)), failures_(settings_, files::Firmware),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 3 !")) {}

void FirmwareUpdate::launch() {
    if (state_.FirmwareCheckStarted) {
        return;
    }
    // Signed, a firmware is only taken with its hash: one that no check in this run can
    // vouch for would be fetched to be thrown away, and look like a forgery. Not counted
    // as the run's attempt, so a manifest read later can still ask for it.
    if (trust_.required()) {
        const UpdateCheck::ExpectedHash expected =
            expectedHash_ ? expectedHash_(files::Firmware) : UpdateCheck::ExpectedHash();
        if (!expected.pending && !canBeVouchedFor(trust_.rules(expected.hash, false, false))) {
            log_.add(QStringLiteral("OrvoKR90X.hex no se descarga: ningún version.ini firmado "
                                    "da su SHA256"));
            return;
        }
    }
    if (client_) {
        loginOrLog(*client_, log_);
    }
    // One attempt per run, whether the server could be reached or not.
    state_.FirmwareCheckStarted = true;
}

void FirmwareUpdate::onError(int code, const QByteArray& text) {
    if (client_) {
        failures_.error(*client_);
    }
    errorBox_.show(code, text);
}

void FirmwareUpdate::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    failures_.status(*client_, code);
    if (client_ && handleDownloadStatus(log_, dialogs_, *client_, settings_, files::Firmware, code,
                                        info, [this] { transferComplete(); })) {
        failures_.started();
    }
}

InstallRules FirmwareUpdate::rulesFor(const QString& file, bool executable) const {
    return trust_.rules(expectedHash_ ? expectedHash_(file).hash : NamedHash(), executable, false);
}

// A firmware fetched before the manifest was read (the tester did not answer the version
// question) waits for it: the manifest may name the hash it must have.
void FirmwareUpdate::transferComplete() {
    if (expectedHash_ && expectedHash_(files::Firmware).pending) {
        awaitingManifest_ = true;
        client_->Logout();
        return;
    }
    handOff(true);
}

void FirmwareUpdate::manifestSettled() {
    if (std::exchange(awaitingManifest_, false)) {
        handOff(false);
    }
}

void FirmwareUpdate::handOff(bool logout) {
    // Half a firmware file written into the tester could leave it unusable: the tool
    // only ever sees a file that arrived whole and, when the manifest says, hashes right.
    const InstallOutcome outcome =
        installDownload(settings_.localPath(files::Firmware), rulesFor(files::Firmware, false));
    const bool installed = logInstall(log_, files::Firmware, files::Firmware, outcome);
    if (logout && client_) {
        client_->Logout();
    }
    // A signed manifest that names no hash for the firmware is no sign of an attack: its
    // log line is all there is.
    if (outcome.result == InstallResult::HashMismatch) {
        trust_.refuseIfForged(files::Firmware, outcome);
    }
    // A close during the logout has discarded the client and deleted the firmware file.
    if (!installed || !client_ || !flasherVouchedFor()) {
        return;
    }
    dialogs_.information(
        QStringLiteral("New firmware for KR90X has been found,\r\npress OK to update."));
    startFlasher();
}

// The box may stay open for as long as the user likes: whatever was checked before it
// may have been replaced since. Signed, the tool and the firmware are copied into a
// folder of our own, hashed as copied, and the copy runs; unsigned, the tool runs where
// it is, as it always has.
void FirmwareUpdate::startFlasher() {
    if (!startProgram_) {
        return;
    }
    const QString flasher = settings_.localPath(files::Flasher);
    const QString firmware = settings_.localPath(files::Firmware);
    if (!trust_.required()) {
        startProgram_(flasher, {QStringLiteral("English")});
        return;
    }
    handOffFolder_ =
        std::make_unique<QTemporaryDir>(QFileInfo(flasher).absolutePath() + "/.OrvoFlash-XXXXXX");
    if (!handOffFolder_->isValid()) {
        log_.add(QStringLiteral("OrvoFlash.exe no se inicia: ") + handOffFolder_->errorString());
        handOffFolder_.reset();
        return;
    }
    for (const auto& [file, path, executable] : {std::tuple{files::Flasher, flasher, true},
                                                 std::tuple{files::Firmware, firmware, false}}) {
        const InstallOutcome copied =
            copyVerified(path, handOffFolder_->filePath(file), rulesFor(file, executable));
        if (copied.installed()) {
            continue;
        }
        handOffFolder_.reset();
        if (copied.hashRefused()) {
            deleteFile(path);
            trust_.refuse(notInstalledLine(file, copied));
        } else if (file == files::Firmware) {
            log_.add(notInstalledLine(file, copied));
        }
        // A tool that is missing fails to start without a word, as it always did.
        return;
    }
    startProgram_(handOffFolder_->filePath(files::Flasher), {QStringLiteral("English")});
}

// A tool already in the folder is never fetched again, so it may be one from before the
// key, or one put there by anybody. Signed, it runs only when it hashes as the manifest
// says; otherwise it goes, and the next check fetches one that does.
bool FirmwareUpdate::flasherVouchedFor() {
    const QString flasher = settings_.localPath(files::Flasher);
    // A missing tool has nothing to check: its start fails, as it always did.
    if (!trust_.required() || !fileExists(flasher)) {
        return true;
    }
    const InstallResult verdict = vouch(rulesFor(files::Flasher, true), fileSha256(flasher));
    if (verdict == InstallResult::Installed) {
        return true;
    }
    deleteFile(flasher);
    const InstallOutcome refused{verdict, {}};
    if (verdict == InstallResult::HashMismatch) {
        trust_.refuse(notInstalledLine(files::Flasher, refused));
    } else {
        log_.add(notInstalledLine(files::Flasher, refused));
    }
    return false;
}

} // namespace kr90x
