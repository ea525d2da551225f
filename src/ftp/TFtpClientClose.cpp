// The close step and the return to idle: how the client ends a connection or a command.
#include "ftp/TFtpClient.h"

#include <QEventLoop>
#include <QTcpSocket>

#include <limits>
#include <utility>

namespace kr90x {

// Every end of a session comes here once, whoever ended it: the client (QUIT answered, a
// time-out, a server that is none), the server or the network. The session's one scClose
// follows one scLogout when the user was logged in; the update flows count on the scClose
// after scLogout. The first of them carries the reason.
void TFtpClient::closeStep(QByteArray reason) {
    if (state_ == TFtpProcessState::psClosed && !control_) {
        return; // that session has ended already
    }
    transferDeadline_.reset();
    connectDeadline_.reset();
    updatePolling();
    closeDataConnection();
    transfer_.reset();
    closeControlConnection();
    CmdStack.clear();
    late_.clear();
    state_ = TFtpProcessState::psClosed;
    if (std::exchange(loggedIn_, false)) {
        queueStatus(TFtpStatusCode::scLogout, std::move(reason));
        queueStatus(TFtpStatusCode::scClose);
    } else {
        queueStatus(TFtpStatusCode::scClose, std::move(reason));
    }
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
