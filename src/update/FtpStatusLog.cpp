#include "update/FtpStatusLog.h"

#include "core/DialogService.h"
#include "core/Log.h"
#include "update/TFtpClient.h"

#include <exception>

namespace kr90x {

void logFtpStatus(Log& log, DialogService& dialogs, const TFtpClient& client, TFtpStatusCode code,
                  const QByteArray& info) {
    using SC = TFtpStatusCode;
    switch (code) {
    case SC::scClose:
        log.add(QStringLiteral("Conexión cerrada"));
        break;
    case SC::scOpen:
        log.add(QStringLiteral("Conectado a ") + client.ServerAddress);
        break;
    case SC::scLogout:
        log.add(QStringLiteral("Desconectado"));
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

QString hashMismatchLine(const QString& fileName) {
    return QStringLiteral("SHA256 incorrecto, borrado: ") + fileName;
}

bool loginOrLog(TFtpClient& client, Log& log) {
    try {
        client.Login();
        return true;
    } catch (const std::exception&) {
        log.add(QStringLiteral("Conexion a internet no disponible!"));
        client.Logout();
        return false;
    }
}

} // namespace kr90x
