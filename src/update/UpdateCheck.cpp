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
      actions_(std::move(actions)),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 1 !")) {}

void UpdateCheck::activated() {
    if (automatic_) {
        start();
    }
}

void UpdateCheck::start() {
    // A check that resets what is being fetched in the middle of the program's download
    // would take the program for the manifest and throw it away.
    if (client_ && client_->ProcessState() == TFtpProcessState::psGet) {
        return;
    }
    log_.clear();
    for (const QString& warning : settings_.Warnings) {
        log_.add(warning);
    }
    kind_ = DownloadKind::Version;
    loggedIn_ = client_ && client_->UserLoggedIn();
    if (client_ && loginOrLog(*client_, log_)) {
        manifestPending_ = true;
    } else {
        settle();
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

void UpdateCheck::onError(int code, const QByteArray& text) {
    // Refused before logging in: asking again at the next activation gets the same answer.
    // Before the box, whose closing activates the window.
    if (!loggedIn_) {
        automatic_ = false;
    }
    errorBox_.show(code, text);
    if (kind_ == DownloadKind::Version) {
        settle();
    }
}

UpdateCheck::FirmwareHash UpdateCheck::firmwareHash() const {
    return {manifestPending_ && !manifest_,
            manifest_ ? manifest_->FirmwareSha256 : std::optional<QByteArray>()};
}

void UpdateCheck::settle() {
    if (std::exchange(manifestPending_, false) && actions_.manifestSettled) {
        actions_.manifestSettled();
    }
}

void UpdateCheck::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    switch (code) {
    case SC::scClose: {
        logFtpStatus(log_, dialogs_, *client_, code, info);
        if (kind_ == DownloadKind::Version) {
            settle();
        }
        const QString flasher = settings_.localPath(files::Flasher);
        if (!flasher.isEmpty() && !fileExists(flasher)) {
            actions_.downloadUpdater();
        }
        break;
    }
    case SC::scLogin:
        loggedIn_ = true;
        if (client_->Retrieve(settings_.remotePath(files::Manifest),
                              partPath(settings_.localPath(files::Manifest)),
                              TFtpRetrieveMode::rmReplace)) {
            log_.add(QStringLiteral("OK version.ini"));
        } else if (kind_ == DownloadKind::Version) {
            settle();
        }
        break;
    case SC::scTransferOK:
        transferComplete();
        break;
    case SC::scLogout:
    case SC::scTimeout:
        if (kind_ == DownloadKind::Version) {
            settle();
        }
        logFtpStatus(log_, dialogs_, *client_, code, info);
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
        const InstallOutcome installed =
            installDownload(settings_.localPath(files::NewProgram),
                            {manifest_ ? manifest_->ProgramSha256 : std::nullopt, true, false});
        logInstall(log_, files::Program, files::NewProgram, installed);
        client_->Logout();
        return;
    }
    if (kind_ != DownloadKind::Version) {
        return;
    }
    const InstallOutcome got =
        installDownload(settings_.localPath(files::Manifest), {std::nullopt, false, true});
    if (!logInstall(log_, files::Manifest, files::Manifest, got)) {
        settle();
        client_->Logout();
        return;
    }
    manifestArrived();
    settle();
}

void UpdateCheck::manifestArrived() {
    manifest_ = readManifestFile(settings_.localPath(files::Manifest));
    state_.ServerProgramVersion = manifest_->ProgramVersion;
    state_.ServerFirmwareVersion = manifest_->FirmwareVersion;
    log_.add(QStringLiteral("Version firmware KR90X servidor: ") +
             QString::number(state_.ServerFirmwareVersion));
    if (state_.ServerProgramVersion <= kRunningProgramVersion) {
        log_.add(QStringLiteral("No es necesario actualizar"));
        // Runs the event loop until closed: the close's own events, and anything else
        // that is pending, are handled in here.
        client_->Logout();
    } else if (settings_.SelfUpdateBlocked) {
        log_.add(QStringLiteral("Programa nuevo no instalado: ") + *settings_.SelfUpdateBlocked);
        client_->Logout();
    } else {
        log_.add(QStringLiteral("Actualizar programa."));
        kind_ = DownloadKind::Exe;
        if (client_->Retrieve(settings_.remotePath(files::Program),
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
    : log_(log), dialogs_(dialogs), client_(client), settings_(std::move(settings)),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 2 !")) {}

void FlasherDownload::start() {
    if (client_) {
        loginOrLog(*client_, log_);
    }
}

void FlasherDownload::onError(int code, const QByteArray& text) {
    errorBox_.show(code, text);
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
    case SC::scTransferOK:
        // A tool that exists is never fetched again, so only a whole one may get the name;
        // it must be runnable for the hand-off.
        logInstall(
            log_, files::Flasher, files::Flasher,
            installDownload(settings_.localPath(files::Flasher), {std::nullopt, true, false}));
        client_->Logout();
        break;
    default:
        logFtpStatus(log_, dialogs_, *client_, code, info);
        break;
    }
}

} // namespace kr90x
