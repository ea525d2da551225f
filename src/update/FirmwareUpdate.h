#pragma once

#include "update/FtpTypes.h"
#include "update/UpdateSettings.h"

#include <QByteArray>
#include <QPointer>

#include <functional>
#include <optional>

namespace kr90x {

struct AppState;
class DialogService;
class Log;
class TFtpClient;

// The firmware download on FtpClientFirmware, once per run, and the hand-off of the
// file to the flashing tool.
class FirmwareUpdate {
public:
    // The firmware file's hash as the manifest names it, when it does.
    using ExpectedHash = std::function<std::optional<QByteArray>()>;

    FirmwareUpdate(AppState& state, Log& log, DialogService& dialogs, TFtpClient* client,
                   UpdateSettings settings, ExpectedHash expectedHash,
                   std::function<void(const QString&, const QStringList&)> startProgram);

    // LaunchOrvoFlash: the callers have decided that an update is due.
    void launch();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError();

private:
    void handOff();

    AppState& state_;
    Log& log_;
    DialogService& dialogs_;
    QPointer<TFtpClient> client_;
    UpdateSettings settings_;
    ExpectedHash expectedHash_;
    std::function<void(const QString&, const QStringList&)> startProgram_;
};

} // namespace kr90x
