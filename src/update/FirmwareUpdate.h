#pragma once

#include "ftp/FtpTypes.h"
#include "update/FtpStatusLog.h"
#include "update/UpdateCheck.h"
#include "update/UpdateFiles.h"
#include "update/UpdateSettings.h"

#include <QByteArray>
#include <QPointer>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace kr90x {

struct AppState;
class DialogService;
class Log;
class TFtpClient;
class UpdateTrust;

// The firmware download on FtpClientFirmware, once per run, and the hand-off of the
// file to the flashing tool.
class FirmwareUpdate {
public:
    // A file's hash as the manifest names it (the firmware's, the flashing tool's), as the
    // update check knows it.
    using ExpectedHash = std::function<UpdateCheck::ExpectedHash(const QString& file)>;

    FirmwareUpdate(AppState& state, Log& log, DialogService& dialogs, UpdateTrust& trust,
                   TFtpClient* client, UpdateSettings settings, ExpectedHash expectedHash,
                   std::function<void(const QString&, const QStringList&)> startProgram);

    // LaunchOrvoFlash: the callers have decided that an update is due.
    void launch();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError(int code, const QByteArray& text);
    // The update check has read the manifest or given up on it: a firmware that arrived
    // before is handed off now.
    void manifestSettled();

private:
    void transferComplete();
    void handOff(bool logout);
    bool flasherVouchedFor();
    void startFlasher();
    InstallRules rulesFor(const QString& file, bool executable) const;

    AppState& state_;
    Log& log_;
    DialogService& dialogs_;
    UpdateTrust& trust_;
    QPointer<TFtpClient> client_;
    UpdateSettings settings_;
    ExpectedHash expectedHash_;
    std::function<void(const QString&, const QStringList&)> startProgram_;
    DownloadFailures failures_;
    FtpErrorBox errorBox_;
    bool awaitingManifest_ = false; // downloaded before the manifest could vouch for it
    // Signed, the tool runs from here, on copies of the tool and the firmware hashed as
    // they were made; gone with the window.
    std::unique_ptr<QTemporaryDir> handOffFolder_;
};

} // namespace kr90x
