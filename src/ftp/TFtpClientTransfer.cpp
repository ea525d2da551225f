// The client's data connection and the file transfer over it.
#include "ftp/FtpReplyText.h"
#include "ftp/TFtpClient.h"

#include <QTcpSocket>

#include <cerrno>
#include <limits>
#include <system_error>

namespace kr90x {

namespace {

// Bounds what Qt holds for the data connection between two readability notices.
constexpr qint64 kDataSocketBuffer = 1 << 20;
// Blocks read per turn of the event loop: all that the bound above lets Qt hold, so a
// fast server is drained in one turn, and other events still get their turn in between.
constexpr int kBlocksPerTurn = kDataSocketBuffer / TFtpClient::DataBufferSize + 1;
constexpr int kAllBlocks = std::numeric_limits<int>::max();

QByteArray systemMessage(int error) {
    return QByteArray::fromStdString(std::generic_category().message(error));
}

} // namespace

bool TFtpClient::openLocalFile(TFtpRetrieveMode mode) {
    const QString& name = transfer_->localName;
    auto file = std::make_unique<QFile>(name);
    // Unbuffered: a failing write shows at once, on the block that failed.
    switch (mode) {
    case TFtpRetrieveMode::rmReplace:
        QFile::remove(name); // a symbolic link goes, not what it points to
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
    transfer_->file = std::move(file);
    return true;
}

void TFtpClient::openDataConnection(const FtpReply& reply) {
    const std::optional<PasvReply> pasv = parsePasvReply(reply.finalLine);
    if (!pasv || pasv->port == 0 || !control_) {
        // No address to connect to: nothing is connected and the transfer ends here.
        CmdStack.clear();
        AbortXfer = true;
        returnToIdle();
        queueError(socketErrorNumber(QAbstractSocket::SocketAddressNotAvailableError),
                   oneLogLine(reply.finalLine));
        return;
    }
    closeDataConnection();
    data_ = makeDataSocket(); // child of this client
    data_->setReadBufferSize(kDataSocketBuffer);
    connect(data_, &QTcpSocket::connected, this,
            [this] { dataEnd_.watch(data_->socketDescriptor()); });
    connect(data_, &QTcpSocket::readyRead, this, &TFtpClient::onDataReadable);
    connect(data_, &QTcpSocket::disconnected, this, &TFtpClient::onDataClosed);
    connect(data_, &QTcpSocket::errorOccurred, this, &TFtpClient::onDataError);
    // The address inside the reply is not trusted: it could send us to any host, and
    // behind NAT it is often a private address that is wrong anyway.
    connectDataSocket(static_cast<quint16>(pasv->port));
    if (data_) { // a connect that failed at once has ended the transfer
        sendNext();
    }
}

void TFtpClient::onDataReadable() {
    readDataBlocks(kBlocksPerTurn);
    // Qt notifies once for all it holds; what the bound left is read on the next turn.
    if (data_ && state_ == TFtpProcessState::psGet && data_->bytesAvailable() > 0 && !readQueued_) {
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
    bool received = false;
    for (int blocks = 0; blocks < maxBlocks && data_ && state_ == TFtpProcessState::psGet &&
                         transfer_ && transfer_->file && !AbortXfer && data_->bytesAvailable() > 0;
         ++blocks) {
        const qint64 n = data_->read(DataBuffer.data(), DataBufferSize);
        if (n <= 0) {
            break;
        }
        received = true;
        const qint64 limit = transfer_->limit(MaxTransferBytes);
        if (BytesTransferred_ + n > limit) {
            stopTransfer(kFtpErrorTooLarge,
                         "Transfer exceeds " + QByteArray::number(limit) + " bytes");
            return;
        }
        BytesTransferred_ += n;
        if (const int error = writeAll(transfer_->file->handle(), DataBuffer.data(), n)) {
            stopTransfer(kFtpErrorLocalFile, systemMessage(error));
            return;
        }
        queueProgress();
    }
    if (received) {
        armTransferTimer();
    }
}

void TFtpClient::onDataClosed() {
    if (!data_) {
        return;
    }
    if (state_ == TFtpProcessState::psGet) {
        readDataBlocks(kAllBlocks);
        if (!data_) {
            return; // the transfer was stopped
        }
    }
    const bool reset = dataEnd_.wasReset();
    closeDataConnection();
    if (state_ != TFtpProcessState::psGet || !transfer_) {
        return;
    }
    // A reset is no end of file: what came may be any part of the file.
    if (reset) {
        dataFailed(socketErrorNumberOfErrno(ECONNRESET), systemMessage(ECONNRESET));
        return;
    }
    transfer_->dataClosed = true;
    closeLocalFile();
    finishTransferIfComplete();
}

void TFtpClient::onDataError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDataClosed();
        return;
    }
    if (!data_) {
        return;
    }
    const QByteArray text = oneLogLine(data_->errorString().toLocal8Bit());
    dataFailed(socketErrorNumber(error), text);
}

// The data connection failed: the transfer ends at once, with the error. The server's
// own final reply for it may still come and is then dropped.
void TFtpClient::dataFailed(int code, QByteArray text) {
    closeDataConnection();
    if (AbortXfer) {
        return;
    }
    AbortXfer = true;
    if (transfer_ && !transfer_->finalReplySeen) {
        late_.transferEndMayCome();
    }
    if (commandOutstanding()) {
        returnToIdle();
    }
    queueError(code, std::move(text));
}

// The end of the data connection alone does not make a file: a connection cut short
// looks the same. The server's final positive reply must have come too, and the count
// must match the size it announced, or the caller would install a truncated file.
void TFtpClient::finishTransferIfComplete() {
    if (state_ != TFtpProcessState::psGet || !transfer_ || !transfer_->dataClosed ||
        !transfer_->finalReplySeen) {
        return;
    }
    if (AbortXfer) {
        returnToIdle();
        return;
    }
    const std::optional<qint64> announced = transfer_->announcedSize;
    if (transfer_->sizeCheck && announced && *announced != BytesTransferred_) {
        const QByteArray text = "Transfer incomplete: " + QByteArray::number(BytesTransferred_) +
                                " of " + QByteArray::number(*announced) + " bytes";
        returnToIdle();
        queueError(kFtpErrorIncompleteTransfer, text);
        return;
    }
    returnToIdle();
    queueStatus(TFtpStatusCode::scTransferOK);
}

// The client stops the transfer itself: the local file failed, or too many bytes came.
void TFtpClient::stopTransfer(int code, QByteArray text) {
    abortTransfer();
    queueError(code, std::move(text));
}

// Ends the transfer on our side while the server may still be at it: the client is idle
// at once, and what the server still answers for the transfer is dropped as it comes.
void TFtpClient::abortTransfer() {
    AbortXfer = true;
    // A server may read the control connection only between transfers (vsftpd does): it
    // answers ABOR once the data connection is gone, so that goes first.
    closeDataConnection();
    closeLocalFile();
    // The commands go one at a time, RETR last: while some still wait their turn, the one
    // sent last is unanswered and RETR was never sent.
    if (!CmdStack.empty()) {
        late_.commandUnanswered();
    } else if (transfer_ && !transfer_->finalReplySeen) {
        late_.transferEndMayCome();
    }
    CmdStack.clear();
    // Its answer is waited for by no one, so it is not timed.
    sendCommand("ABOR", false);
    late_.abortSent();
    returnToIdle();
}

void TFtpClient::closeDataConnection() {
    dropSocket(data_);
    dataEnd_.release();
}

void TFtpClient::closeLocalFile() {
    if (transfer_) {
        transfer_->file.reset();
    }
}

} // namespace kr90x
