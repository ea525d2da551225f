#pragma once

#include "ftp/FtpTypes.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace kr90x {

class DialogService;
class Log;
class TFtpClient;
struct InstallOutcome;
struct UpdateSettings;

// What every FTP client of the window does alike with its status events: a log line
// per event (and before a close, the reason the server or the system gave, when there
// is one), and the simple message on a time-out. scLogin and scTransferOK start each
// client's own work and are left to the caller; so is anything the caller adds to scClose.
void logFtpStatus(Log& log, DialogService& dialogs, const TFtpClient& client, TFtpStatusCode code,
                  const QByteArray& info);

// The status events of a client that fetches one file: at the login it asks for the file
// (logging "OK <file>"), at the transfer's end `arrived` runs, and everything else is
// logged as logFtpStatus does. True when the event started the file's transfer.
bool handleDownloadStatus(Log& log, DialogService& dialogs, TFtpClient& client,
                          const UpdateSettings& settings, const QString& file, TFtpStatusCode code,
                          const QByteArray& info, const std::function<void()>& arrived);

// After a transfer that failed (an error, a time-out, the connection lost): what arrived of
// the file goes, and so does the session, rather than holding both until the close.
void dropFailedDownload(TFtpClient& client, const UpdateSettings& settings, const QString& file);

// Follows the transfer of a client that fetches one file, so that one that fails leaves
// neither its part nor a session behind. Each event goes here before its own handling.
class DownloadFailures {
public:
    DownloadFailures(const UpdateSettings& settings, QString file);
    void started() { transferring_ = true; }
    // A client that fetches several files, one at a time: this one now.
    void started(QString file) {
        file_ = std::move(file);
        transferring_ = true;
    }
    // True when the event ends the transfer in failure (its clean-up done).
    bool status(TFtpClient& client, TFtpStatusCode code);
    bool error(TFtpClient& client);

private:
    const UpdateSettings& settings_;
    QString file_;
    bool transferring_ = false;
};

// Starts a client's connection: Login's result. A server that cannot be reached at all
// leaves one log line and a closed client, and false.
bool loginOrLog(TFtpClient& client, Log& log);

// Logs "Transferencia <shownName> completada" when a download was put in place, else why
// it was not (naming its local file). True when it was.
bool logInstall(Log& log, const QString& shownName, const QString& fileName,
                const InstallOutcome& outcome);

// The error box of one client. A server can send errors faster than anybody closes boxes,
// and an open box runs the event loop that delivers the next error: so at most one box
// is open per client, and the errors that come meanwhile go to the log, each as the box's
// text followed by the server's reply (or the error code).
class FtpErrorBox {
public:
    FtpErrorBox(Log& log, DialogService& dialogs, QString text);
    void show(int code, const QByteArray& text);

private:
    Log& log_;
    DialogService& dialogs_;
    QString text_;
    bool open_ = false;
};

} // namespace kr90x
