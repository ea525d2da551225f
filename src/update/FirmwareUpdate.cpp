#include "update/FirmwareUpdate.h"

#include "core/AppState.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "update/FtpStatusLog.h"
#include "update/TFtpClient.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTrust.h"

namespace kr90x {

FirmwareUpdate::FirmwareUpdate(AppState& state, Log& log, DialogService& dialogs,
                               UpdateTrust& trust, TFtpClient* client, UpdateSettings settings,
                               ExpectedHash expectedHash,
                               std::function<void(const QString&, const QStringList&)> startProgram)
    : state_(state), log_(log), dialogs_(dialogs), trust_(trust), client_(client),
      settings_(std::move(settings)), expectedHash_(std::move(expectedHash)),
      startProgram_(std::move(startProgram)),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 3 !")) {}

void FirmwareUpdate::launch() {
    if (state_.FirmwareCheckStarted) {
        return;
    }
    if (client_) {
        loginOrLog(*client_, log_);
    }
    // One attempt per run, whether the server could be reached or not.
    state_.FirmwareCheckStarted = true;
}

void FirmwareUpdate::onError(int code, const QByteArray& text) {
    errorBox_.show(code, text);
}

void FirmwareUpdate::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    handleDownloadStatus(log_, dialogs_, *client_, settings_, files::Firmware, code, info,
                         [this] { transferComplete(); });
}

// A firmware fetched before the manifest was read (the tester did not answer the version
// question) waits for it: the manifest may name the hash it must have.
void FirmwareUpdate::transferComplete() {
    if (expectedHash_ && expectedHash_().pending) {
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
    const std::optional<QByteArray> sha256 =
        expectedHash_ ? expectedHash_().sha256 : std::optional<QByteArray>();
    const InstallOutcome outcome =
        installDownload(settings_.localPath(files::Firmware), trust_.rules(sha256, false, false));
    const bool installed = logInstall(log_, files::Firmware, files::Firmware, outcome);
    if (logout && client_) {
        client_->Logout();
    }
    trust_.refuseIfForged(files::Firmware, outcome);
    // A close during the logout has discarded the client and deleted the firmware file.
    if (!installed || !client_) {
        return;
    }
    dialogs_.information(
        QStringLiteral("New firmware for KR90X has been found,\r\npress OK to update."));
    if (startProgram_) {
        startProgram_(settings_.localPath(files::Flasher), {QStringLiteral("English")});
    }
}

} // namespace kr90x
