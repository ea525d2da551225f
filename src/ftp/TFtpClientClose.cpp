// The close step and the return to idle: how the client ends a connection or a command.
#include "ftp/TFtpClient.h"

#include <QEventLoop>
#include <QTcpSocket>

#include <limits>

namespace kr90x {

void TFtpClient::closeStep(CloseCause cause, QByteArray reason) {
    transferDeadline_.reset();
    connectDeadline_.reset();
    updatePolling();
    closeDataConnection();
    transfer_.reset();
    if (control_) {
        closeControlConnection();
        // The closing of our own connection notifies once more: that run still sees the
        // old state, and carries the reason. The update flows count on the pair of
        // events this gives.
        if (cause == CloseCause::ByClient) {
            closeStep(CloseCause::ByConnection, std::exchange(reason, {}));
        }
    }
    CmdStack.clear();
    queueStatus(loggedIn_ ? TFtpStatusCode::scLogout : TFtpStatusCode::scClose, std::move(reason));
    loggedIn_ = false;
    state_ = TFtpProcessState::psClosed;
}

void TFtpClient::returnToIdle() {
    if (data_) {
        if (state_ == TFtpProcessState::psGet) {
            readDataBlocks(std::numeric_limits<int>::max());
        }
        closeDataConnection();
    }
    transfer_.reset();
    transferDeadline_.reset();
    updatePolling();
    state_ = TFtpProcessState::psIdle;
}

void TFtpClient::dropSocket(QTcpSocket*& socket) {
    if (!socket) {
        return;
    }
    // Closed at once; deleted later, since its own signal may be what called us.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    socket = nullptr;
}

void TFtpClient::closeControlConnection() {
    const bool wasOpen = control_ != nullptr;
    dropSocket(control_);
    if (wasOpen && logoutSlice_) {
        logoutSlice_->quit();
    }
}

} // namespace kr90x
