#include "update/TFtpClient.h"

#include "update/FtpReplyText.h"
#include "update/FtpSocketErrors.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netdb.h>

namespace kr90x {

using PS = TFtpProcessState;
using SC = TFtpStatusCode;

namespace {
// Bounds what Qt holds for the data connection between two readability notices; each
// notice drains it in DataBufferSize blocks.
constexpr qint64 kDataSocketBuffer = 1 << 20;
constexpr int kLogoutSliceMs = 2 * TFtpClient::TickMs;
constexpr qint64 kControlChunk = 4096;
} // namespace

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
    closeLocalFile();
}

// ---- operations

bool TFtpClient::Login() {
    if (state_ >= PS::psIdle) {
        return false;
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
    } else if (tcpStands) {
        // Before the connection stands the greeting will bring USER anyway; sending it
        // ahead of the greeting would log in twice.
        sendCommand("USER " + UserName);
    }
    state_ = PS::psLogin;
    return true;
}

bool TFtpClient::Logout() {
    if (state_ == PS::psClosed || !control_) {
        return false;
    }
    if (control_->state() != QAbstractSocket::ConnectedState) {
        closeStep(CloseCause::ByClient);
        return true;
    }
    sendCommand("QUIT", false);
    QPointer<TFtpClient> self(this);
    QElapsedTimer waited;
    waited.start();
    while (self && self->control_ && waited.elapsed() < LogoutLimitMs) {
        QEventLoop slice;
        QTimer::singleShot(kLogoutSliceMs, &slice, &QEventLoop::quit);
        // The close ends the wait at once rather than at the end of the slice.
        logoutSlice_ = &slice;
        slice.exec();
        if (self) {
            self->logoutSlice_ = nullptr;
        }
    }
    // A server that never closes must not hold the caller forever.
    if (self && self->control_) {
        closeStep(CloseCause::ByClient);
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
    state_ = PS::psGet;
    remoteName_ = RemotePathName;
    localName_ = LocalPathName;
    try {
        CmdStack.push("RETR " + RemotePathName);
        if (!openLocalFile(RetrieveMode)) {
            CmdStack.clear();
            closeLocalFile();
            state_ = PS::psIdle;
            return false;
        }
        BytesTransferred_ = 0;
        AbortXfer = false;
        dataClosed_ = false;
        finalReplySeen_ = false;
        abortAcknowledged_ = false;
        localError_.reset();
        announcedSize_.reset();
        sizeCheck_ = RetrieveMode != TFtpRetrieveMode::rmRestart;
        CmdStack.push("PASV");
        CmdStack.push(FileType == TFtpFileType::ftBinary ? "TYPE I" : "TYPE A");
    } catch (const FtpException&) {
        closeLocalFile();
        state_ = PS::psIdle;
        throw;
    }
    sendNext();
    return true;
}

bool TFtpClient::Abort() {
    if (state_ <= PS::psIdle) {
        return false;
    }
    AbortXfer = true;
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

// ---- control connection

void TFtpClient::openControlConnection() {
    const QString host = ServerAddress.trimmed();
    if (host.isEmpty()) {
        throw FtpException("No server address");
    }
    QHostAddress address;
    if (!address.setAddress(host)) {
        const QHostInfo info = QHostInfo::fromName(host);
        const QList<QHostAddress> found = info.addresses();
        if (found.isEmpty()) {
            throw FtpException("Host not found: " + host.toStdString());
        }
        address = found.front();
        for (const QHostAddress& a : found) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
        }
    }
    bool numeric = false;
    uint port = WsPort.trimmed().toUInt(&numeric);
    if (!numeric) {
        const QByteArray name = WsPort.trimmed().toLatin1();
        const servent* service = getservbyname(name.constData(), "tcp");
        if (!service) {
            throw FtpException("Service not found: " + name.toStdString());
        }
        port = ntohs(static_cast<uint16_t>(service->s_port));
    }
    if (port == 0 || port > 65535) {
        throw FtpException("Invalid port: " + WsPort.toStdString());
    }

    reader_.reset();
    CmdStack.clear();
    strayAbortAnswer_ = false;
    control_ = new QTcpSocket(this);
    connect(control_, &QTcpSocket::connected, this, &TFtpClient::onControlConnected);
    connect(control_, &QTcpSocket::readyRead, this, &TFtpClient::onControlReadable);
    connect(control_, &QTcpSocket::disconnected, this, &TFtpClient::onControlDisconnected);
    connect(control_, &QTcpSocket::errorOccurred, this, &TFtpClient::onControlError);
    control_->connectToHost(address, static_cast<quint16>(port));
}

void TFtpClient::onControlConnected() {
    connectDeadline_.reset();
    updatePolling();
    control_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void TFtpClient::onControlReadable() {
    char chunk[kControlChunk];
    while (control_ && control_->bytesAvailable() > 0) {
        const qint64 n = control_->read(chunk, kControlChunk);
        if (n <= 0) {
            break;
        }
        reader_.feed(QByteArrayView(chunk, n));
        // A reply may close the connection; what follows it is then not read.
        while (control_) {
            const std::optional<FtpReply> reply = reader_.take();
            if (!reply) {
                break;
            }
            handleReply(*reply);
        }
    }
}

void TFtpClient::onControlDisconnected() {
    onControlReadable(); // a last reply (221, 421) may have come with the close
    if (control_) {
        closeStep(CloseCause::ByConnection);
    }
}

void TFtpClient::onControlError(QAbstractSocket::SocketError error) {
    if (!closesControlConnection(error)) {
        return;
    }
    onControlReadable();
    if (control_) {
        closeStep(CloseCause::ByConnection);
    }
}

void TFtpClient::closeControlConnection() {
    if (!control_) {
        return;
    }
    control_->disconnect(this);
    control_->abort();
    control_->deleteLater();
    control_ = nullptr;
    if (logoutSlice_) {
        logoutSlice_->quit();
    }
}

// ---- replies

void TFtpClient::handleReply(const FtpReply& reply) {
    // Replies come in the order of the commands: the first one after a possible second
    // answer to ABOR is either that answer or the answer to our next command, which is
    // never 225 or 226.
    if (strayAbortAnswer_) {
        strayAbortAnswer_ = false;
        if (reply.code == 225 || reply.code == 226) {
            return;
        }
    }
    switch (state_) {
    case PS::psLogin:
        handleLoginReply(reply);
        break;
    case PS::psGet:
        handleGetReply(reply);
        break;
    case PS::psCmd:
        handleCmdReply(reply);
        break;
    case PS::psIdle:
        handleIdleReply(reply);
        break;
    case PS::psClosed:
        break;
    default:
        errorRule(reply);
        break;
    }
}

void TFtpClient::handleLoginReply(const FtpReply& reply) {
    switch (reply.code) {
    case 220:
        queueStatus(SC::scOpen, reply.text.mid(4));
        sendCommand("USER " + UserName);
        break;
    case 331:
        sendCommand("PASS " + Password);
        break;
    case 332:
        sendCommand("ACCT " + Account);
        break;
    case 230:
        state_ = PS::psIdle;
        loggedIn_ = true;
        transferDeadline_.reset();
        updatePolling();
        queueStatus(SC::scLogin);
        break;
    case 202:
        break;
    default:
        errorRule(reply);
        break;
    }
}

void TFtpClient::handleGetReply(const FtpReply& reply) {
    if (localError_) {
        handleAbortAnswer(reply);
        return;
    }
    if (reply.code < 200) {
        if (reply.code == 150 || reply.code == 125) {
            announcedSize_ = parseAnnouncedSize(reply.text);
        }
        return;
    }
    switch (reply.code) {
    case 200:
    case 350:
        sendNext();
        break;
    case 227:
        openDataConnection(reply.text);
        break;
    case 226:
    case 250:
        finalReplySeen_ = true;
        finishTransferIfComplete();
        break;
    default:
        errorRule(reply);
        break;
    }
}

void TFtpClient::handleCmdReply(const FtpReply& reply) {
    const int code = reply.code;
    if (code >= 211 && code <= 215) {
        returnToIdle();
        queueStatus(SC::scDataAvail, reply.text.mid(4));
    } else if (code == 225 || code == 226) {
        returnToIdle();
    } else if (code == 250) {
        returnToIdle();
        queueStatus(SC::scComplete);
    } else if (code == 257) {
        returnToIdle();
        queueStatus(SC::scCurrentDir, quotedDirectory(reply.text));
    } else {
        errorRule(reply);
    }
}

// After a local file error the client has sent ABOR and waits for its answer before it
// is idle again, so that the answer cannot be taken for the answer to a later command.
// RFC 959: 426 then 226 when the transfer was still running, a single 225 or 226 when it
// was not. A 226 without a 426 before it may also be the transfer's own end, with the
// answer to ABOR still to come.
void TFtpClient::handleAbortAnswer(const FtpReply& reply) {
    if (reply.code < 200) {
        return;
    }
    if (reply.code == 426) {
        abortAcknowledged_ = true;
        return;
    }
    const bool maybeTransferEnd =
        (reply.code == 226 || reply.code == 250) && !abortAcknowledged_ && !finalReplySeen_;
    const QByteArray text = *localError_;
    returnToIdle();
    strayAbortAnswer_ = maybeTransferEnd;
    queueError(kFtpErrorLocalFile, text);
}

void TFtpClient::handleIdleReply(const FtpReply& reply) {
    const int code = reply.code;
    if (code == 125 || code == 150) {
        return;
    }
    if (code == 226) {
        closeDataConnection();
        closeLocalFile();
        return;
    }
    errorRule(reply);
}

void TFtpClient::errorRule(const FtpReply& reply) {
    CmdStack.clear();
    if (reply.code == 221 || reply.code == 421) {
        closeStep(CloseCause::ByClient);
        return;
    }
    if (state_ > PS::psIdle) {
        returnToIdle();
    }
    if (reply.code == 202 || reply.code >= 300) {
        queueError(reply.code, reply.text);
    }
}

void TFtpClient::closeStep(CloseCause cause) {
    transferDeadline_.reset();
    connectDeadline_.reset();
    updatePolling();
    closeDataConnection();
    closeLocalFile();
    if (control_) {
        closeControlConnection();
        // The closing of our own connection notifies once more: that run still sees the
        // old state. The update flows count on the pair of events this gives.
        if (cause == CloseCause::ByClient) {
            closeStep(CloseCause::ByConnection);
        }
    }
    loggedIn_ = false;
    CmdStack.clear();
    queueStatus(state_ >= PS::psIdle ? SC::scLogout : SC::scClose);
    state_ = PS::psClosed;
}

void TFtpClient::returnToIdle() {
    if (data_) {
        if (state_ == PS::psGet) {
            readDataBlocks();
        }
        closeDataConnection();
    }
    closeLocalFile();
    transferDeadline_.reset();
    updatePolling();
    state_ = PS::psIdle;
}

void TFtpClient::sendCommand(const QByteArray& line, bool armTimer) {
    if (!control_) {
        return;
    }
    control_->write(line + "\r\n");
    if (armTimer) {
        armTransferTimer();
    }
}

void TFtpClient::sendNext() {
    if (std::optional<QByteArray> line = CmdStack.pop()) {
        sendCommand(*line);
    }
}

// ---- transfer

bool TFtpClient::openLocalFile(TFtpRetrieveMode mode) {
    auto file = std::make_unique<QFile>(localName_);
    // Unbuffered: a failing write shows at once, on the block that failed.
    switch (mode) {
    case TFtpRetrieveMode::rmReplace:
        QFile::remove(localName_); // a symbolic link goes, not what it points to
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            return false;
        }
        break;
    case TFtpRetrieveMode::rmAppend:
        if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            return false;
        }
        if (!file->isSequential()) {
            file->seek(file->size());
        }
        break;
    case TFtpRetrieveMode::rmRestart: {
        if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            return false;
        }
        const qint64 size = file->size();
        if (RestartAt < 0 || RestartAt > size) {
            RestartAt = size;
        }
        if (!file->isSequential()) {
            file->seek(RestartAt);
        }
        CmdStack.push("REST " + QByteArray::number(RestartAt));
        break;
    }
    }
    file_ = std::move(file);
    return true;
}

void TFtpClient::openDataConnection(const QByteArray& replyText) {
    const std::optional<PasvReply> pasv = parsePasvReply(replyText);
    const int port = pasv ? pasv->port : 0;
    if (port <= 0 || !control_) {
        CmdStack.clear();
        AbortXfer = true;
        returnToIdle();
        queueError(socketErrorNumber(QAbstractSocket::SocketAddressNotAvailableError));
        return;
    }
    closeDataConnection();
    data_ = new QTcpSocket(this);
    data_->setReadBufferSize(kDataSocketBuffer);
    connect(data_, &QTcpSocket::readyRead, this, &TFtpClient::onDataReadable);
    connect(data_, &QTcpSocket::disconnected, this, &TFtpClient::onDataClosed);
    connect(data_, &QTcpSocket::errorOccurred, this, &TFtpClient::onDataError);
    // The address inside the reply is not trusted: it could send us to any host, and
    // behind NAT it is often a private address that is wrong anyway.
    data_->connectToHost(control_->peerAddress(), static_cast<quint16>(port));
    sendNext();
}

void TFtpClient::onDataReadable() {
    readDataBlocks(1);
    // Qt notifies once for all it holds; the rest is read one block per turn of the loop,
    // so that each scProgress handler sees the count after its own block.
    if (data_ && state_ == PS::psGet && data_->bytesAvailable() > 0 && !readQueued_) {
        readQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                readQueued_ = false;
                onDataReadable();
            },
            Qt::QueuedConnection);
    }
}

void TFtpClient::readDataBlocks(int maxBlocks) {
    for (int blocks = 0; blocks < maxBlocks && data_ && state_ == PS::psGet && file_ &&
                         !AbortXfer && data_->bytesAvailable() > 0;
         ++blocks) {
        const qint64 n = data_->read(DataBuffer.data(), DataBufferSize);
        if (n <= 0) {
            break;
        }
        armTransferTimer();
        BytesTransferred_ += n;
        if (file_->write(DataBuffer.data(), n) != n) {
            localFileFailed();
            return;
        }
        queueStatus(SC::scProgress);
    }
}

void TFtpClient::onDataClosed() {
    if (!data_) {
        return;
    }
    if (state_ == PS::psGet) {
        readDataBlocks();
        if (!data_) {
            return; // the local file failed
        }
    }
    closeDataConnection();
    if (state_ == PS::psGet) {
        dataClosed_ = true;
        closeLocalFile();
        finishTransferIfComplete();
    }
}

void TFtpClient::onDataError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDataClosed();
        return;
    }
    if (!data_) {
        return;
    }
    closeDataConnection();
    if (!AbortXfer) {
        AbortXfer = true;
        if (state_ > PS::psIdle) {
            returnToIdle();
        }
        queueError(socketErrorNumber(error));
    }
}

// The end of the data connection alone does not make a file: a connection cut short
// looks the same. The server's final positive reply must have come too, and the count
// must match the size it announced, or the caller would install a truncated file.
void TFtpClient::finishTransferIfComplete() {
    if (state_ != PS::psGet || !dataClosed_ || !finalReplySeen_ || localError_) {
        return;
    }
    if (AbortXfer) {
        returnToIdle();
        return;
    }
    if (sizeCheck_ && announcedSize_ && *announcedSize_ != BytesTransferred_) {
        const QByteArray text = "Transfer incomplete: " + QByteArray::number(BytesTransferred_) +
                                " of " + QByteArray::number(*announcedSize_) + " bytes";
        returnToIdle();
        queueError(kFtpErrorIncompleteTransfer, text);
        return;
    }
    returnToIdle();
    queueStatus(SC::scTransferOK);
}

// A write that fails stops the transfer; the error is reported once the server has
// answered the ABOR (handleAbortAnswer), with the system's text.
void TFtpClient::localFileFailed() {
    localError_ = file_ ? file_->errorString().toLocal8Bit() : QByteArray();
    AbortXfer = true;
    closeDataConnection();
    closeLocalFile();
    dataClosed_ = true;
    sendCommand("ABOR");
}

void TFtpClient::closeDataConnection() {
    if (!data_) {
        return;
    }
    data_->disconnect(this);
    data_->abort();
    data_->deleteLater();
    data_ = nullptr;
}

void TFtpClient::closeLocalFile() {
    if (file_) {
        file_->close();
        file_.reset();
    }
}

// ---- timers

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
        closeStep(CloseCause::ByClient);
        if (!NoEvents) {
            emit OnFtpError(this, kFtpErrorConnectTimeout, QByteArray());
        }
        if (!self) {
            return;
        }
    }
    if (transferDeadline_ && now >= *transferDeadline_) {
        transferDeadline_.reset();
        if (state_ != PS::psIdle && state_ != PS::psClosed) {
            AbortXfer = true;
            if (state_ == PS::psLogin) {
                closeStep(CloseCause::ByClient);
            } else {
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

void TFtpClient::queueStatus(TFtpStatusCode code, QByteArray info) {
    if (NoEvents) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, code, info = std::move(info)] {
            if (!NoEvents) {
                emit OnFtpStatus(this, code, info);
            }
        },
        Qt::QueuedConnection);
}

void TFtpClient::queueError(int code, QByteArray text) {
    if (NoEvents) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, code, text = std::move(text)] {
            if (!NoEvents) {
                emit OnFtpError(this, code, text);
            }
        },
        Qt::QueuedConnection);
}

} // namespace kr90x
