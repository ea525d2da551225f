#pragma once

#include "update/FtpStatusLog.h"
#include "update/FtpTypes.h"
#include "update/Manifest.h"
#include "update/UpdateSettings.h"

#include <QPointer>

#include <functional>
#include <optional>

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
        // The check has read the manifest, or will not read it this time.
        std::function<void()> manifestSettled;
    };

    // What the manifest says of the firmware, for its hand-off: nothing yet while a check
    // that has not read one in this run is still under way.
    struct FirmwareHash {
        bool pending = false;
        std::optional<QByteArray> sha256;
    };

    // What FtpClient1 is fetching.
    enum class DownloadKind { None, Version, Exe };

    UpdateCheck(AppState& state, Log& log, DialogService& dialogs, TFtpClient* client,
                UpdateSettings settings, Actions actions);

    // Activation: the check, unless the server has refused the login in this run. Each
    // refusal's box would otherwise, once closed, activate the window and so ask again.
    void activated();
    // "Conectar FTP": clears the log and logs in. While a download of the client runs,
    // nothing changes.
    void start();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError(int code, const QByteArray& text);
    // The hidden test buttons.
    void logout();
    void currentDir();

    // The manifest as last read in this run, if one was.
    const std::optional<Manifest>& manifest() const { return manifest_; }
    FirmwareHash firmwareHash() const;
    DownloadKind downloadKind() const { return kind_; }

private:
    void transferComplete();
    void manifestArrived();
    void settle();

    AppState& state_;
    Log& log_;
    DialogService& dialogs_;
    QPointer<TFtpClient> client_; // gone once the close has discarded it
    UpdateSettings settings_;
    Actions actions_;
    FtpErrorBox errorBox_;
    std::optional<Manifest> manifest_;
    DownloadKind kind_ = DownloadKind::None;
    bool loggedIn_ = false;        // in the check under way
    bool manifestPending_ = false; // a check is under way and has not read the manifest
    bool automatic_ = true;        // activations still start the check
};

// The flashing tool's download on FtpClientUpdater, started when FtpClient1 closes and
// the tool is not in the program folder.
class FlasherDownload {
public:
    FlasherDownload(Log& log, DialogService& dialogs, TFtpClient* client, UpdateSettings settings);

    void start();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError(int code, const QByteArray& text);

private:
    Log& log_;
    DialogService& dialogs_;
    QPointer<TFtpClient> client_;
    UpdateSettings settings_;
    FtpErrorBox errorBox_;
};

} // namespace kr90x
