// The client's control connection: opening it, reading the server's replies and acting
// on them by state, and sending commands.
#include "ftp/FtpReplyText.h"
#include "ftp/TFtpClient.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>

namespace kr90x {

namespace {

constexpr qint64 kControlChunk = 4096;

// All of a reply, its final line included, for the log.
QByteArray wholeReply(const FtpReply& reply) {
    return reply.text == reply.finalLine ? reply.text : reply.text + reply.finalLine;
}

QHostAddress resolveHost(const QString& host) {
    QHostAddress address;
    if (address.setAddress(host)) {
        return address;
    }
    const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
    if (found.isEmpty()) {
        throw FtpException("Host not found: " + host.toStdString());
    }
    for (const QHostAddress& a : found) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            return a;
        }
    }
    return found.front();
}

} // namespace

void TFtpClient::openControlConnection() {
    const QString host = ServerAddress.trimmed();
    if (host.isEmpty()) {
        throw FtpException("No server address");
    }
    const QHostAddress address = resolveHost(host);
    const std::optional<quint16> port = tcpPortOf(WsPort);
    if (!port) {
        throw FtpException("Service not found: " + WsPort.toStdString());
    }

    reader_.reset();
    CmdStack.clear();
    loginRefused_ = false;
    late_.clear();
    established_ = false;
    greeted_ = false;
    quitSent_ = false;
    tls_ = FtpTlsNegotiation(Tls);
    tlsFailure_.clear();
    peerName_ = host;
    QTcpSocket* socket = makeControlSocket(); // child of this client
    connect(socket, &QTcpSocket::connected, this, &TFtpClient::onControlConnected);
    connect(socket, &QTcpSocket::readyRead, this, &TFtpClient::onControlReadable);
    connect(socket, &QTcpSocket::disconnected, this, &TFtpClient::onControlDisconnected);
    control_ = socket;
    socket->connectToHost(address, *port);
    // A connect that fails at once (no route to the network, not permitted) has left the
    // socket unconnected already: the connection cannot even be started. Errors are
    // listened to only from here, so that this one is not also taken for a close.
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        const std::string why = socket->errorString().toStdString();
        control_ = nullptr;
        socket->disconnect(this);
        socket->deleteLater();
        throw FtpException("Cannot connect: " + why);
    }
    connect(socket, &QTcpSocket::errorOccurred, this, &TFtpClient::onControlError);
}

void TFtpClient::onControlConnected() {
    established_ = true;
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
        controlLost(QAbstractSocket::RemoteHostClosedError);
    }
}

void TFtpClient::onControlError(QAbstractSocket::SocketError error) {
    // An error that leaves the socket unconnected ends the connection whatever its kind:
    // a client on a dead socket would count as connected until its time-out.
    if (control_ && isTlsError(error)) {
        tlsFailed(oneLogLine(control_->errorString().toUtf8()));
        return;
    }
    if (!control_ || (!closesControlConnection(error) &&
                      control_->state() != QAbstractSocket::UnconnectedState)) {
        return;
    }
    onControlReadable();
    if (control_) {
        controlLost(error);
    }
}

// The server or the network ended the connection without a 421. What the system says
// about it is all the reason there is; a transfer cut off by it is a failure.
void TFtpClient::controlLost(QAbstractSocket::SocketError error) {
    QByteArray reason;
    if (!tlsFailure_.isEmpty()) {
        // A refused certificate may show first as the server's hang-up.
        tlsFailed(tlsFailure_);
        return;
    }
    if (established_ && !quitSent_) {
        reason = oneLogLine(control_->errorString().toLocal8Bit());
        if (commandOutstanding()) {
            queueError(socketErrorNumber(error), reason);
        }
    }
    closeStep(reason);
}

void TFtpClient::handleReply(const FtpReply& reply) {
    if (late_.drop(reply.code)) {
        return;
    }
    if (!greeted_) {
        handleGreeting(reply);
        return;
    }
    switch (state_) {
    case TFtpProcessState::psLogin:
        handleLoginReply(reply);
        break;
    case TFtpProcessState::psGet:
        handleGetReply(reply);
        break;
    case TFtpProcessState::psCmd:
        handleCmdReply(reply);
        break;
    case TFtpProcessState::psIdle:
        handleIdleReply(reply);
        break;
    case TFtpProcessState::psClosed:
        break;
    }
}

void TFtpClient::handleGreeting(const FtpReply& reply) {
    greeted_ = true;
    if (!reply.wellFormed) {
        // Something else answers on that port (a web server, say): it will never log us
        // in, and waiting for it would only end in the time-out.
        queueError(kFtpErrorNotFtp, oneLogLine(reply.finalLine));
        closeStep();
        return;
    }
    handleReply(reply);
}

void TFtpClient::handleLoginReply(const FtpReply& reply) {
    if (reply.code == 421) {
        errorRule(reply); // the server ends the session, whatever step the login is at
        return;
    }
    if (tls_.negotiating()) {
        tlsStep(tls_.reply(reply.code));
        return;
    }
    switch (reply.code) {
    case 220:
        queueStatus(TFtpStatusCode::scOpen, reply.text.mid(4));
        tlsStep(tls_.greeted()); // USER, or AUTH TLS first
        break;
    case 331:
        sendCommand("PASS " + Password);
        break;
    case 332:
        // An empty ACCT is no answer: the server wants an account we do not have.
        if (Account.isEmpty()) {
            errorRule(reply);
        } else {
            sendCommand("ACCT " + Account);
        }
        break;
    case 230:
        state_ = TFtpProcessState::psIdle;
        loggedIn_ = true;
        transferDeadline_.reset();
        updatePolling();
        queueStatus(TFtpStatusCode::scLogin);
        break;
    case 202:
        break;
    default:
        errorRule(reply);
        break;
    }
}

void TFtpClient::handleGetReply(const FtpReply& reply) {
    if (reply.code < 200) {
        if ((reply.code == 150 || reply.code == 125) && transfer_) {
            transfer_->announcedSize = parseAnnouncedSize(reply.text);
        }
        return;
    }
    switch (reply.code) {
    case 200:
    case 350:
        sendNext();
        break;
    case 227:
        openDataConnection(reply);
        break;
    case 226:
    case 250:
        if (transfer_) {
            transfer_->finalReplySeen = true;
        }
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
        queueStatus(TFtpStatusCode::scDataAvail, reply.text.mid(4));
    } else if (code == 225 || code == 226) {
        returnToIdle();
    } else if (code == 250) {
        returnToIdle();
        queueStatus(TFtpStatusCode::scComplete);
    } else if (code == 257) {
        returnToIdle();
        queueStatus(TFtpStatusCode::scCurrentDir, quotedDirectory(reply.text));
    } else {
        errorRule(reply);
    }
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

// A final reply that the state's own table does not take. It ends what is outstanding,
// with an error: each operation has one outcome, and a reply that is no success is a
// failure.
void TFtpClient::errorRule(const FtpReply& reply) {
    if (reply.code < 200) {
        return; // a preliminary reply ends nothing
    }
    CmdStack.clear();
    const bool outstanding = operationOutstanding();
    if (reply.code == 221 || reply.code == 421) {
        QByteArray reason;
        if (reply.code == 421) {
            // The server's reason would otherwise be lost with the connection. It fails
            // only what it cuts off: a server that ends an idle session (its idle
            // time-out) fails nothing the user asked for.
            reason = oneLogLine(wholeReply(reply));
            if (outstanding) {
                queueError(reply.code, reply.text);
            }
        }
        closeStep(reason);
        return;
    }
    if (loginOutstanding()) {
        // Refused: the connection waits for the next Login, and no time-out ends it.
        loginRefused_ = true;
        transferDeadline_.reset();
        updatePolling();
    }
    if (commandOutstanding()) {
        returnToIdle();
    }
    if (outstanding || reply.code == 202 || reply.code >= 300) {
        queueError(reply.code, reply.text);
    }
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

} // namespace kr90x
