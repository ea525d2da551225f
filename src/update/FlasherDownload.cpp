#include "update/FlasherDownload.h"

#include "core/Log.h"
#include "ftp/TFtpClient.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTrust.h"

namespace kr90x {

FlasherDownload::FlasherDownload(Log& log, DialogService& dialogs, UpdateTrust& trust,
                                 TFtpClient* client, UpdateSettings settings,
                                 ExpectedHash expectedHash)
    : log_(log), dialogs_(dialogs), trust_(trust), client_(client), settings_(std::move(settings)),
      expectedHash_(std::move(expectedHash)), failures_(settings_, files::Flasher),
      errorBox_(log, dialogs, QStringLiteral("Error de transmisión 2 !")) {}

void FlasherDownload::start() {
    if (!client_ || failed_) {
        return;
    }
    // A tool that no signed manifest vouches for could never be installed: it is not
    // fetched. This is no sign of an attack (the server may simply be out of reach), so
    // it is only logged.
    if (!canBeVouchedFor(rules())) {
        log_.add(QStringLiteral("OrvoFlash.exe no se descarga: ningún version.ini firmado da "
                                "su SHA256"));
        return;
    }
    loginOrLog(*client_, log_);
}

void FlasherDownload::onError(int code, const QByteArray& text) {
    if (client_ && failures_.error(*client_)) {
        failed_ = true;
    }
    errorBox_.show(code, text);
}

void FlasherDownload::onStatus(TFtpStatusCode code, const QByteArray& info) {
    if (!client_) {
        return;
    }
    if (failures_.status(*client_, code)) {
        failed_ = true;
    }
    if (client_ && handleDownloadStatus(log_, dialogs_, *client_, settings_, files::Flasher, code,
                                        info, [this] { transferComplete(); })) {
        failures_.started();
    }
}

// Without a key the manifest names no hash for the tool, as it never did.
InstallRules FlasherDownload::rules() const {
    return trust_.rules(trust_.required() && expectedHash_ ? expectedHash_().hash : NamedHash(),
                        true, false);
}

void FlasherDownload::transferComplete() {
    // A tool that exists is never fetched again, so only a whole one may get the name;
    // it must be runnable for the hand-off.
    const InstallOutcome installed = installDownload(settings_.localPath(files::Flasher), rules());
    logInstall(log_, files::Flasher, files::Flasher, installed);
    client_->Logout();
    trust_.refuseIfForged(files::Flasher, installed);
}

} // namespace kr90x
