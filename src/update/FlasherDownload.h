#pragma once

#include "ftp/FtpTypes.h"
#include "update/FtpStatusLog.h"
#include "update/UpdateCheck.h"
#include "update/UpdateFiles.h"
#include "update/UpdateSettings.h"

#include <QPointer>

#include <functional>

namespace kr90x {

class DialogService;
class Log;
class TFtpClient;
class UpdateTrust;

// The flashing tool's download on FtpClientUpdater, started when FtpClient1 closes and
// the tool is not in the program folder.
class FlasherDownload {
public:
    // The tool's hash as the manifest names it, as the update check knows it.
    using ExpectedHash = std::function<UpdateCheck::ExpectedHash()>;

    FlasherDownload(Log& log, DialogService& dialogs, UpdateTrust& trust, TFtpClient* client,
                    UpdateSettings settings, ExpectedHash expectedHash);

    void start();
    void onStatus(TFtpStatusCode code, const QByteArray& info);
    void onError(int code, const QByteArray& text);

private:
    void transferComplete();
    InstallRules rules() const;

    Log& log_;
    DialogService& dialogs_;
    UpdateTrust& trust_;
    QPointer<TFtpClient> client_;
    UpdateSettings settings_;
    ExpectedHash expectedHash_;
    DownloadFailures failures_;
    FtpErrorBox errorBox_;
    // A download that failed is not tried again in this run: each check's close would
    // otherwise start it, and its error box, without end.
    bool failed_ = false;
};

} // namespace kr90x
