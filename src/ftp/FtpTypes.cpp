#include "ftp/FtpTypes.h"

namespace kr90x {

const char* statusCodeName(TFtpStatusCode code) {
    switch (code) {
    case TFtpStatusCode::scClose:
        return "scClose";
    case TFtpStatusCode::scOpen:
        return "scOpen";
    case TFtpStatusCode::scLogout:
        return "scLogout";
    case TFtpStatusCode::scLogin:
        return "scLogin";
    case TFtpStatusCode::scComplete:
        return "scComplete";
    case TFtpStatusCode::scCurrentDir:
        return "scCurrentDir";
    case TFtpStatusCode::scDataAvail:
        return "scDataAvail";
    case TFtpStatusCode::scProgress:
        return "scProgress";
    case TFtpStatusCode::scTransferOK:
        return "scTransferOK";
    case TFtpStatusCode::scTimeout:
        return "scTimeout";
    }
    return "?";
}

const char* processStateName(TFtpProcessState state) {
    switch (state) {
    case TFtpProcessState::psClosed:
        return "psClosed";
    case TFtpProcessState::psLogin:
        return "psLogin";
    case TFtpProcessState::psIdle:
        return "psIdle";
    case TFtpProcessState::psGet:
        return "psGet";
    case TFtpProcessState::psCmd:
        return "psCmd";
    }
    return "?";
}

bool ftpArgumentSafe(QByteArrayView text) {
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

} // namespace kr90x
