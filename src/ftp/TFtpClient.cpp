// The client's operations, its time-outs and the queue of its events.
#include "ftp/TFtpClient.h"

#include <QEventLoop>
#include <QPointer>
#include <QTcpSocket>

namespace kr90x {

using PS = TFtpProcessState;
using SC = TFtpStatusCode;

TFtpClient::TFtpClient(QObject* parent) : QObject(parent), DataBuffer(DataBufferSize) {
    clock_.start();
    connect(&poll_, &QTimer::timeout, this, &TFtpClient::onPoll);
}

TFtpClient::~TFtpClient() {
    // Discarding: everything closes at once, without QUIT, and nothing is reported.
    NoEvents = true;
    poll_.stop();
    for (QTcpSocket* socket : {data_, control_}) {
        if (socket) {
            socket->disconnect(this);
            // A last command written just before (the ABOR of a close) still goes out.
            if (socket == control_) {
                socket->flush();
            }
            socket->abort();
        }
    }
    dataEnd_.release();
    transfer_.reset();
}

// ---- operations

bool TFtpClient::Login() {
    if (loggedIn_) {
        return false;
    }
    if (!ftpArgumentSafe(UserName) || !ftpArgumentSafe(Password) || !ftpArgumentSafe(Account)) {
        throw FtpException("the FTP account holds a line break or NUL: nothing was sent");
    }
    const bool tcpStands = control_ && control_->state() == QAbstractSocket::ConnectedState;
    // Once the TCP connection stands there is nothing left for the connect timer to
    // watch; arming it then would cut a login in progress.
    if (ConnectTimeout > 0 && !tcpStands) {
        connectDeadline_ = clock_.elapsed() + qint64(ConnectTimeout) * TickMs;
        updatePolling();
    }
    if (state_ == PS::psClosed) {
        try {
            openControlConnection();
        } catch (...) {
            connectDeadline_.reset();
            updatePolling();
            throw;
        }
        // A server that accepts and then says nothing is silent like one that does not
        // answer a command: the same time-out covers the connection and its greeting.
        armTransferTimer();
    } else if (greeted_ && !tls_.negotiating()) {
        // Before the greeting has come it will bring USER anyway; sending it ahead would
        // log in twice. While TLS is being set up, USER comes once it stands.
        sendCommand("USER " + UserName);
    }
    state_ = PS::psLogin;
    loginRefused_ = false;
    return true;
}

bool TFtpClient::Logout() {
    if (state_ == PS::psClosed || !control_) {
        return false;
    }
    if (control_->state() != QAbstractSocket::ConnectedState) {
        closeStep();
        return true;
    }
    quitSent_ = true;
    sendCommand("QUIT", false);
    QPointer<TFtpClient> self(this);
    QElapsedTimer waited;
    waited.start();
    while (self && self->control_ && waited.elapsed() < LogoutLimitMs) {
        QEventLoop slice;
        QTimer::singleShot(2 * TickMs, &slice, &QEventLoop::quit);
        // The close ends the wait at once rather than at the end of the slice.
        logoutSlice_ = &slice;
        slice.exec();
        if (self) {
            self->logoutSlice_ = nullptr;
        }
    }
    // A server that never closes must not hold the caller forever.
    if (self && self->control_) {
        closeStep();
    }
    return true;
}

bool TFtpClient::Retrieve(const QByteArray& RemotePathName, const QString& LocalPathName,
                          TFtpRetrieveMode RetrieveMode) {
    if (state_ != PS::psIdle || RemotePathName.isEmpty() || LocalPathName.isEmpty()) {
        return false;
    }
    if (!PassiveMode) {
        return false; // active mode is not built
    }
    if (!ftpArgumentSafe(RemotePathName)) {
        queueError(kFtpErrorUnsafeName,
                   "the remote file name holds a line break or NUL: nothing was sent");
        return false;
    }
    state_ = PS::psGet;
    transfer_.emplace();
    transfer_->remoteName = RemotePathName;
    transfer_->localName = LocalPathName;
    transfer_->sizeCheck = RetrieveMode != TFtpRetrieveMode::rmRestart;
    try {
        CmdStack.push("RETR " + RemotePathName);
        if (!openLocalFile(RetrieveMode)) {
            CmdStack.clear();
            transfer_.reset();
            state_ = PS::psIdle;
            return false;
        }
        BytesTransferred_ = 0;
        AbortXfer = false;
        CmdStack.push("PASV");
        CmdStack.push(FileType == TFtpFileType::ftBinary ? "TYPE I" : "TYPE A");
    } catch (const FtpException&) {
        transfer_.reset();
        state_ = PS::psIdle;
        throw;
    }
    sendNext();
    return true;
}

bool TFtpClient::Abort() {
    if (!commandOutstanding()) {
        return false;
    }
    AbortXfer = true;
    // A server may read the control connection only between transfers (vsftpd does):
    // it answers ABOR once the data connection is gone, so that goes first.
    if (data_ || transfer_) {
        closeDataConnection();
        closeLocalFile();
        if (transfer_) {
            transfer_->dataClosed = true;
        }
    }
    sendCommand("ABOR");
    return true;
}

bool TFtpClient::CurrentDir() {
    if (state_ != PS::psIdle) {
        return false;
    }
    state_ = PS::psCmd;
    sendCommand("PWD");
    return true;
}

// ---- time-outs

void TFtpClient::armTransferTimer() {
    if (TransferTimeout > 0) {
        transferDeadline_ = clock_.elapsed() + qint64(TransferTimeout) * TickMs;
    } else {
        transferDeadline_.reset();
    }
    updatePolling();
}

void TFtpClient::updatePolling() {
    if (transferDeadline_ || connectDeadline_) {
        if (!poll_.isActive()) {
            poll_.start(PollIntervalMs);
        }
    } else {
        poll_.stop();
    }
}

void TFtpClient::onPoll() {
    // The two time-outs raise their event at once, ahead of what the close step queued;
    // a handler may discard the client from inside.
    QPointer<TFtpClient> self(this);
    const qint64 now = clock_.elapsed();
    if (connectDeadline_ && now >= *connectDeadline_) {
        connectDeadline_.reset();
        closeStep();
        if (!NoEvents) {
            emit OnFtpError(this, kFtpErrorConnectTimeout, QByteArray());
        }
        if (!self) {
            return;
        }
    }
    if (transferDeadline_ && now >= *transferDeadline_) {
        transferDeadline_.reset();
        if (operationOutstanding()) {
            // A login that times out ends its session; the session outlives a transfer or
            // a command that does, and their late answers are dropped.
            if (state_ == PS::psLogin) {
                closeStep();
            } else if (state_ == PS::psGet) {
                abortTransfer();
            } else {
                late_.commandUnanswered();
                returnToIdle();
            }
            if (!NoEvents) {
                emit OnFtpStatus(this, SC::scTimeout, QByteArray());
            }
            if (!self) {
                return;
            }
        }
    }
    updatePolling();
}

// ---- events

template <typename Emit> void TFtpClient::queue(Emit emitEvent) {
    if (NoEvents) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, emitEvent = std::move(emitEvent)] {
            if (!NoEvents) {
                emitEvent();
            }
        },
        Qt::QueuedConnection);
}

void TFtpClient::queueStatus(TFtpStatusCode code, QByteArray info) {
    queue([this, code, info = std::move(info)] { emit OnFtpStatus(this, code, info); });
}

void TFtpClient::queueProgress() {
    queue([this, count = BytesTransferred_] {
        // Progress handlers may nest (a handler that logs out runs the loop).
        const std::optional<qint64> outer = progressCount_;
        progressCount_ = count;
        QPointer<TFtpClient> self(this);
        emit OnFtpStatus(this, SC::scProgress, QByteArray());
        if (self) {
            progressCount_ = outer;
        }
    });
}

void TFtpClient::queueError(int code, QByteArray text) {
    queue([this, code, text = std::move(text)] { emit OnFtpError(this, code, text); });
}

} // namespace kr90x
