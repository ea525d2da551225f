#include "update/FtpStatusLog.h"

#include "core/DialogService.h"
#include "core/Log.h"
#include "ftp/FtpReplyText.h"
#include "ftp/TFtpClient.h"
#include "update/UpdateFiles.h"
#include "update/UpdateSettings.h"

#include <exception>
#include <utility>

namespace kr90x {

void logFtpStatus(Log& log, DialogService& dialogs, const TFtpClient& client, TFtpStatusCode code,
                  const QByteArray& info) {
    using SC = TFtpStatusCode;
    switch (code) {
    case SC::scClose:
    case SC::scLogout:
        if (!info.isEmpty()) {
            log.add(QString::fromLatin1(oneLogLine(info)));
        }
        log.add(code == SC::scClose ? QStringLiteral("Conexión cerrada")
                                    : QStringLiteral("Desconectado"));
        break;
    case SC::scOpen:
        log.add(QStringLiteral("Conectado a ") + client.ServerAddress);
        break;
    case SC::scComplete:
        log.add(QStringLiteral("Operación completada"));
        break;
    case SC::scCurrentDir:
    case SC::scDataAvail:
        log.add(QString::fromLatin1(info));
        break;
    case SC::scProgress:
        log.add(QString::number(client.BytesTransferred()) + QStringLiteral(" bytes Transferred"));
        break;
    case SC::scTimeout:
        dialogs.message(QStringLiteral("Transfer timed out"));
        break;
    case SC::scLogin:
    case SC::scTransferOK:
        break;
    }
}

bool handleDownloadStatus(Log& log, DialogService& dialogs, TFtpClient& client,
                          const UpdateSettings& settings, const QString& file, TFtpStatusCode code,
                          const QByteArray& info, const std::function<void()>& arrived) {
    switch (code) {
    case TFtpStatusCode::scLogin:
        if (client.Retrieve(settings.remotePath(file), partPath(settings.localPath(file)),
                            TFtpRetrieveMode::rmReplace)) {
            log.add(QStringLiteral("OK ") + file);
            return true;
        }
        break;
    case TFtpStatusCode::scTransferOK:
        arrived();
        break;
    default:
        logFtpStatus(log, dialogs, client, code, info);
        break;
    }
    return false;
}

void dropFailedDownload(TFtpClient& client, const UpdateSettings& settings, const QString& file) {
    deleteFile(partPath(settings.localPath(file)));
    client.Logout();
}

DownloadFailures::DownloadFailures(const UpdateSettings& settings, QString file)
    : settings_(settings), file_(std::move(file)) {}

bool DownloadFailures::status(TFtpClient& client, TFtpStatusCode code) {
    if (!transferring_) {
        return false;
    }
    switch (code) {
    case TFtpStatusCode::scTransferOK:
        transferring_ = false;
        return false;
    case TFtpStatusCode::scTimeout:
        transferring_ = false;
        dropFailedDownload(client, settings_, file_);
        return true;
    case TFtpStatusCode::scClose:
    case TFtpStatusCode::scLogout:
        // The session is gone already.
        transferring_ = false;
        deleteFile(partPath(settings_.localPath(file_)));
        return true;
    default:
        return false;
    }
}

bool DownloadFailures::error(TFtpClient& client) {
    if (!std::exchange(transferring_, false)) {
        return false;
    }
    dropFailedDownload(client, settings_, file_);
    return true;
}

bool loginOrLog(TFtpClient& client, Log& log) {
    try {
        return client.Login();
    } catch (const std::exception&) {
        log.add(QStringLiteral("Conexion a internet no disponible!"));
        client.Logout();
        return false;
    }
}

bool logInstall(Log& log, const QString& shownName, const QString& fileName,
                const InstallOutcome& outcome) {
    if (outcome.installed()) {
        log.add(QStringLiteral("Transferencia ") + shownName + QStringLiteral(" completada"));
        return true;
    }
    log.add(notInstalledLine(fileName, outcome));
    return false;
}

FtpErrorBox::FtpErrorBox(Log& log, DialogService& dialogs, QString text)
    : log_(log), dialogs_(dialogs), text_(std::move(text)) {}

void FtpErrorBox::show(int code, const QByteArray& text) {
    if (open_) {
        // A reply's text starts with its code; an error of our own or of the system may
        // have no text.
        const QByteArray reply = oneLogLine(text);
        log_.add(text_ + QLatin1Char(' ') +
                 (reply.isEmpty() ? QString::number(code) : QString::fromLatin1(reply)));
        return;
    }
    open_ = true;
    struct Closed {
        bool& open;
        ~Closed() { open = false; }
    } closed{open_};
    dialogs_.information(text_);
}

} // namespace kr90x
