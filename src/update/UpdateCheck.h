#pragma once

#include "update/FtpTypes.h"
#include "update/Manifest.h"
#include "update/UpdateSettings.h"

#include <QPointer>

#include <functional>

namespace kr90x {

struct AppState;
class DialogService;
class Log;
class TFtpClient;

// The update check on FtpClient1: fetch the manifest, read it, fetch a newer program
// next to the running one, decide on the firmware, and on every close of the connection
// make sure the flashing tool is there.
class UpdateCheck {
public:
    struct Actions {
        std::function<void()> downloadUpdater; // the flashing tool is missing
        std::function<void()> launchOrvoFlash; // the server has newer firmware
    };

    // What FtpClient1 is fetching.
    enum class DownloadKind { None, Version, Exe };

    UpdateCheck(AppState& state, Log& log, DialogService& dialogs, TFtpClient* client,
                UpdateSettings settings, Actions actions);

    // Activation and "Conectar FTP": clears the log and logs in.
    void start();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError();
    // The hidden test buttons.
    void logout();
    void currentDir();

    // The manifest as last read in this run (empty before).
    const Manifest& manifest() const { return manifest_; }
    DownloadKind downloadKind() const { return kind_; }

private:
    void transferComplete();

    AppState& state_;
    Log& log_;
    DialogService& dialogs_;
    QPointer<TFtpClient> client_; // gone once the close has discarded it
    UpdateSettings settings_;
    Actions actions_;
    Manifest manifest_;
    DownloadKind kind_ = DownloadKind::None;
};

// The flashing tool's download on FtpClientUpdater, started when FtpClient1 closes and
// the tool is not in the program folder.
class FlasherDownload {
public:
    FlasherDownload(Log& log, DialogService& dialogs, TFtpClient* client, UpdateSettings settings);

    void start();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError();

private:
    Log& log_;
    DialogService& dialogs_;
    QPointer<TFtpClient> client_;
    UpdateSettings settings_;
};

} // namespace kr90x
