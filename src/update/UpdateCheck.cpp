#include "update/UpdateCheck.h"

#include "core/AppState.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "core/Texts.h"
#include "update/FtpStatusLog.h"
#include "update/TFtpClient.h"
#include "update/UpdateFiles.h"

namespace kr90x {
namespace {

using SC = TFtpStatusCode;

// The running program's version as the manifest writes versions (1.04 is 104).
constexpr int kRunningProgramVersion = static_cast<int>(kProgramVersion * 100 + 0.5);
static_assert(kRunningProgramVersion == 104);

} // namespace

UpdateCheck::UpdateCheck(AppState& state, Log& log, DialogService& dialogs, TFtpClient* client,
                         UpdateSettings settings, Actions actions)
    : state_(state), log_(log), dialogs_(dialogs), client_(client), settings_(std::move(settings)),
      actions_(std::move(actions)) {}

void UpdateCheck::start() {
    log_.clear();
    kind_ = DownloadKind::Version;
    if (client_) {
        loginOrLog(*client_, log_);
    }
}

void UpdateCheck::logout() {
    if (client_) {
        client_->Logout();
    }
}

void UpdateCheck::currentDir() {
    if (client_) {
        client_->CurrentDir();
    }
}

void UpdateCheck::onError() {
    dialogs_.information(QStringLiteral("Error de transmisión 1 !"));
}

void UpdateCheck::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    switch (code) {
    case SC::scClose: {
        logFtpStatus(log_, dialogs_, *client_, code, info);
        const QString flasher = settings_.localPath(files::Flasher);
        if (!flasher.isEmpty() && !fileExists(flasher)) {
            actions_.downloadUpdater();
        }
        break;
    }
    case SC::scLogin:
        if (client_->Retrieve(settings_.remotePath(files::Manifest),
                              settings_.localPath(files::Manifest), TFtpRetrieveMode::rmReplace)) {
            log_.add(QStringLiteral("OK version.ini"));
        }
        break;
    case SC::scTransferOK:
        transferComplete();
        break;
    default:
        logFtpStatus(log_, dialogs_, *client_, code, info);
        break;
    }
}

void UpdateCheck::transferComplete() {
    if (kind_ == DownloadKind::Exe) {
        // The new program gets its own name only now that it is whole; the close puts
        // it in place of the running one.
        const InstallResult installed =
            installDownload(settings_.localPath(files::NewProgram), manifest_.ProgramSha256, true);
        log_.add(QStringLiteral("Transferencia Orvo_KR90X.exe completada"));
        if (installed == InstallResult::HashMismatch) {
            log_.add(hashMismatchLine(files::NewProgram));
        }
        client_->Logout();
        return;
    }
    if (kind_ != DownloadKind::Version) {
        return;
    }
    log_.add(QStringLiteral("Transferencia version.ini completada"));
    manifest_ = readManifestFile(settings_.localPath(files::Manifest));
    state_.ServerProgramVersion = manifest_.ProgramVersion;
    state_.ServerFirmwareVersion = manifest_.FirmwareVersion;
    log_.add(QStringLiteral("Version firmware KR90X servidor: ") +
             QString::number(state_.ServerFirmwareVersion));
    if (state_.ServerProgramVersion <= kRunningProgramVersion) {
        log_.add(QStringLiteral("No es necesario actualizar"));
        // Runs the event loop until closed: the close's own events, and anything else
        // that is pending, are handled in here.
        if (client_) {
            client_->Logout();
        }
    } else {
        log_.add(QStringLiteral("Actualizar programa."));
        kind_ = DownloadKind::Exe;
        if (client_ && client_->Retrieve(settings_.remotePath(files::Program),
                                         partPath(settings_.localPath(files::NewProgram)),
                                         TFtpRetrieveMode::rmReplace)) {
            log_.add(QStringLiteral("OK Orvo_KR90X.exe"));
        }
    }
    if (state_.ServerFirmwareVersion > state_.DeviceFirmwareVersion) {
        log_.add(QStringLiteral("Actualizar KR90X !!!!"));
        actions_.launchOrvoFlash();
    }
}

FlasherDownload::FlasherDownload(Log& log, DialogService& dialogs, TFtpClient* client,
                                 UpdateSettings settings)
    : log_(log), dialogs_(dialogs), client_(client), settings_(std::move(settings)) {}

void FlasherDownload::start() {
    if (client_) {
        loginOrLog(*client_, log_);
    }
}

void FlasherDownload::onError() {
    dialogs_.information(QStringLiteral("Error de transmisión 2 !"));
}

void FlasherDownload::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    switch (code) {
    case SC::scLogin:
        if (client_->Retrieve(settings_.remotePath(files::Flasher),
                              partPath(settings_.localPath(files::Flasher)),
                              TFtpRetrieveMode::rmReplace)) {
            log_.add(QStringLiteral("OK OrvoFlash.exe"));
        }
        break;
    case SC::scTransferOK: {
        // A tool that exists is never fetched again, so only a whole one may get the name;
        // it must be runnable for the hand-off.
        installDownload(settings_.localPath(files::Flasher), std::nullopt, true);
        log_.add(QStringLiteral("Transferencia OrvoFlash.exe completada"));
        client_->Logout();
        break;
    }
    default:
        logFtpStatus(log_, dialogs_, *client_, code, info);
        break;
    }
}

} // namespace kr90x
