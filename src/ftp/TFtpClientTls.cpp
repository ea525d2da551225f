// The client's TLS: the sockets it makes, the steps from the greeting to USER, and the
// certificate check. With TLS off the sockets are plain TCP ones, as they always were.
#include "ftp/FtpReplyText.h"
#include "ftp/TFtpClient.h"

#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

namespace kr90x {

using Next = FtpTlsNegotiation::Next;

QList<QSslCertificate> readCaCertificates(const QString& path) {
    // A bundle of every public CA is about 200 KiB.
    constexpr qint64 kMaxCaFileBytes = 4 << 20;
    // A name with a zero in it names no file (and makes Qt complain at every look).
    if (path.isEmpty() || path.contains(QChar(0))) {
        return {};
    }
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxCaFileBytes || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QSslCertificate::fromData(file.read(kMaxCaFileBytes), QSsl::Pem);
}

QSslConfiguration TFtpClient::tlsConfiguration() const {
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    // A CA file replaces the system's trust store: a workshop server with a certificate
    // of its own CA is trusted for that CA alone.
    if (!CaFile.isEmpty()) {
        conf.setCaCertificates(readCaCertificates(CaFile));
    }
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    // Qt forgets the session by default. The data connections must resume it: vsftpd
    // (require_ssl_reuse, on by default) and many other servers refuse a data connection
    // that does not, so that nobody but the logged-in client can take it over.
    conf.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    return conf;
}

QTcpSocket* TFtpClient::makeControlSocket() {
    if (Tls == FtpTls::Off) {
        return new QTcpSocket(this);
    }
    auto* socket = new QSslSocket(this);
    socket->setSslConfiguration(tlsConfiguration());
    // The certificate must name the server as the settings do, not the address it
    // resolved to.
    socket->setPeerVerifyName(peerName_);
    connect(socket, &QSslSocket::sslErrors, this, &TFtpClient::onSslErrors);
    connect(socket, &QSslSocket::encrypted, this, [this] { tlsStep(tls_.encrypted()); });
    return socket;
}

QTcpSocket* TFtpClient::makeDataSocket() {
    auto* control = qobject_cast<QSslSocket*>(control_);
    if (!tls_.dataProtected() || !control) {
        return new QTcpSocket(this);
    }
    auto* socket = new QSslSocket(this);
    // The control connection's configuration carries its session ticket.
    socket->setSslConfiguration(control->sslConfiguration());
    // A certificate refused here fails this transfer alone, through its socket error (whose
    // text is the refusal's); taken for the control connection's, it would make every
    // later close of that connection, our own QUIT too, a TLS failure.
    return socket;
}

void TFtpClient::connectDataSocket(quint16 port) {
    if (auto* socket = qobject_cast<QSslSocket*>(data_)) {
        socket->connectToHostEncrypted(control_->peerAddress().toString(), port, peerName_);
    } else {
        data_->connectToHost(control_->peerAddress(), port);
    }
}

void TFtpClient::tlsStep(Next next) {
    switch (next) {
    case Next::Nothing:
        break;
    case Next::SendAuth:
        sendCommand("AUTH TLS");
        break;
    case Next::StartHandshake:
        if (auto* socket = qobject_cast<QSslSocket*>(control_)) {
            // Whatever came in clear after the 234 was put there by someone on the way
            // (RFC 4217's warning): it must not pass for a reply of the protected session.
            socket->readAll();
            reader_.reset();
            socket->startClientEncryption();
        }
        break;
    case Next::SendPbsz:
        sendCommand("PBSZ 0");
        break;
    case Next::SendProt:
        sendCommand("PROT P");
        break;
    case Next::SendUser:
        sendCommand("USER " + UserName);
        break;
    case Next::Fail:
        tlsFailed(tls_.failure());
        break;
    }
}

void TFtpClient::onSslErrors(const QList<QSslError>& errors) {
    // Not ignored, so the handshake fails next; its reason is kept for the close.
    if (!errors.isEmpty() && tlsFailure_.isEmpty()) {
        tlsFailure_ = oneLogLine(errors.front().errorString().toUtf8());
    }
}

void TFtpClient::tlsFailed(const QByteArray& why) {
    if (!control_) {
        return;
    }
    // The password is never sent where the server could not be checked.
    const QByteArray reason = "TLS: " + (tlsFailure_.isEmpty() ? why : tlsFailure_);
    CmdStack.clear();
    closeStep(reason);
}

bool TFtpClient::isTlsError(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    return error == E::SslHandshakeFailedError || error == E::SslInternalError ||
           error == E::SslInvalidUserDataError;
}

} // namespace kr90x
