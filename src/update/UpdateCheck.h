#pragma once

#include "ftp/FtpTypes.h"
#include "update/FtpStatusLog.h"
#include "update/Manifest.h"
#include "update/UpdateSequence.h"
#include "update/UpdateSettings.h"

#include <QPointer>

#include <functional>
#include <optional>

namespace kr90x {

struct AppState;
class DialogService;
class Log;
class TFtpClient;
class UpdateTrust;

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

    // What the manifest says of a file's hash, for its installing: nothing yet while a
    // check that has not read one in this run is still under way.
    struct ExpectedHash {
        bool pending = false;
        NamedHash hash;
    };

    // What FtpClient1 is fetching: with a public key the manifest's signature follows it.
    enum class DownloadKind { None, Version, Signature, Exe };

    UpdateCheck(AppState& state, Log& log, DialogService& dialogs, UpdateTrust& trust,
                TFtpClient* client, UpdateSettings settings, Actions actions);

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

    // The manifest as last read in this run (with a key: as last verified), if one was.
    const std::optional<Manifest>& manifest() const { return manifest_; }
    // For files::Program, files::Flasher or files::Firmware.
    ExpectedHash expectedHash(const QString& file) const;
    DownloadKind downloadKind() const { return kind_; }

private:
    bool readingManifest() const {
        return kind_ == DownloadKind::Version || kind_ == DownloadKind::Signature;
    }
    bool fetch(const QString& remoteName, const QString& localName, qint64 maxBytes);
    void transferComplete();
    void programArrived();
    void plainManifestArrived();
    void fetchSignature();
    void signatureArrived();
    void refuseManifest(const QString& why, bool tellUser = true);
    bool freshManifest(const Manifest& manifest);
    void manifestArrived(const Manifest& manifest);
    void fetchProgram(const Manifest& manifest);
    void settle();

    AppState& state_;
    Log& log_;
    DialogService& dialogs_;
    UpdateTrust& trust_;
    QPointer<TFtpClient> client_; // gone once the close has discarded it
    UpdateSettings settings_;
    Actions actions_;
    DownloadFailures failures_;
    FtpErrorBox errorBox_;
    std::optional<Manifest> manifest_;
    DownloadKind kind_ = DownloadKind::None;
    bool loggedIn_ = false;        // in the check under way
    bool manifestPending_ = false; // a check is under way and has not read the manifest
    bool automatic_ = true;        // activations still start the check
    UpdateSequence sequence_;
};

} // namespace kr90x
