#pragma once

#include "ftp/FtpCommandStack.h"
#include "ftp/FtpLateReplies.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/FtpSocketErrors.h"
#include "ftp/FtpTlsNegotiation.h"
#include "ftp/FtpTransfer.h"
#include "ftp/FtpTypes.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

class QEventLoop;
class QSslCertificate;
class QSslConfiguration;
class QSslError;
class QTcpSocket;

namespace kr90x {

// The CA certificates of a PEM file; none when it is not a readable regular file of a
// sensible size (a settings file naming /dev/zero must not hang the program).
QList<QSslCertificate> readCaCertificates(const QString& path);

// FTP client on the main event loop: one control connection, and one passive data
// connection while a file is fetched. Operations start work and return at once (Logout
// excepted); outcomes arrive as OnFtpStatus / OnFtpError, queued in the order they arise,
// each with its own copy of its text. Handlers may call any operation, and may delete the
// client: from then on no event of it is delivered.
//
// Handlers may count on one outcome per operation, nothing of it coming later: a login
// ends with scLogin, an error (a refusal, the connect time-out's -1) or scTimeout, or
// only with the session's close; a transfer with scTransferOK, an error or scTimeout; a
// command with its result, an error or scTimeout. A session, however it ends, raises one
// scClose, after one scLogout when the user was logged in. A 421 is an error only to an
// operation it cuts off.
//
// The client's work is kept in four files: the operations, time-outs and events here;
// the control connection and the reply table (TFtpClientReplies.cpp); the data connection
// and the transfer (TFtpClientTransfer.cpp); the close step and the return to idle
// (TFtpClientClose.cpp); TLS (TFtpClientTls.cpp).
class TFtpClient : public QObject {
    Q_OBJECT

public:
    static constexpr int TickMs = 55;
    static constexpr qsizetype DataBufferSize = 32769;
    // No update file comes near this; a server that streams without end must not fill
    // the disk.
    static constexpr qint64 DefaultMaxTransferBytes = qint64(256) << 20;

    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;

    // Configuration: plain values, read when an operation starts.
    QString ServerAddress;
    QString WsPort = QStringLiteral("ftp");
    QByteArray UserName;
    QByteArray Password;
    QByteArray Account;
    bool PassiveMode = false;
    TFtpFileType FileType = TFtpFileType::ftBinary;
    // Ticks of 55 ms; 0 or less: none. Also bounds the wait for the connection and the
    // server's greeting.
    int TransferTimeout = 1092;
    // FTP over TLS, and the file of the CA certificates that vouch for the server (PEM;
    // empty: the system's trust store).
    FtpTls Tls = FtpTls::Off;
    QString CaFile;
    int ConnectTimeout = 0; // ticks of 55 ms; 0 or less: none
    qint64 RestartAt = 0;   // byte offset for rmRestart
    // A transfer that brings more than this, or more than the server announced, stops.
    qint64 MaxTransferBytes = DefaultMaxTransferBytes;
    // How often the time-outs are tested, and how long Logout waits for the server to
    // close before closing by itself. Tests shorten them.
    int PollIntervalMs = 50;
    int LogoutLimitMs = 10000;

    // Throws FtpException when the connection cannot even be started (no address,
    // unknown host or service, a connect that fails at once).
    bool Login();
    bool Logout();
    bool Retrieve(const QByteArray& RemotePathName, const QString& LocalPathName,
                  TFtpRetrieveMode RetrieveMode);
    bool Abort();
    bool CurrentDir();

    TFtpProcessState ProcessState() const { return state_; }
    bool Connected() const { return state_ != TFtpProcessState::psClosed; }
    bool InProgress() const {
        return state_ != TFtpProcessState::psClosed && state_ != TFtpProcessState::psIdle;
    }
    bool UserLoggedIn() const { return loggedIn_; }
    // The control connection is protected by TLS; the file transfers too.
    bool ControlProtected() const { return tls_.controlProtected(); }
    bool DataProtected() const { return tls_.dataProtected(); }
    // Inside an scProgress handler: the count after that event's own block, however many
    // blocks have been read since (several are read per turn of the event loop).
    qint64 BytesTransferred() const { return progressCount_.value_or(BytesTransferred_); }

signals:
    void OnFtpStatus(kr90x::TFtpClient* Sender, kr90x::TFtpStatusCode StatusCode,
                     const QByteArray& InfoText);
    void OnFtpError(kr90x::TFtpClient* Sender, int ErrorCode, const QByteArray& ErrorText);

private:
    // A transfer or a command of a logged-in client awaits its outcome.
    bool commandOutstanding() const {
        return state_ == TFtpProcessState::psGet || state_ == TFtpProcessState::psCmd;
    }
    // A login awaits its outcome: a refusal has ended it, though the client stays in
    // psLogin for the next try.
    bool loginOutstanding() const { return state_ == TFtpProcessState::psLogin && !loginRefused_; }
    bool operationOutstanding() const { return loginOutstanding() || commandOutstanding(); }

    // Control connection and replies.
    void openControlConnection();
    void onControlConnected();
    void onControlReadable();
    void onControlDisconnected();
    void onControlError(QAbstractSocket::SocketError error);
    void controlLost(QAbstractSocket::SocketError error);
    void handleReply(const FtpReply& reply);
    void handleGreeting(const FtpReply& reply);
    void handleLoginReply(const FtpReply& reply);
    void handleGetReply(const FtpReply& reply);
    void handleCmdReply(const FtpReply& reply);
    void handleIdleReply(const FtpReply& reply);
    void errorRule(const FtpReply& reply);
    void sendCommand(const QByteArray& line, bool armTimer = true);
    void sendNext();

    // Data connection and transfer.
    bool openLocalFile(TFtpRetrieveMode mode);
    void openDataConnection(const FtpReply& reply);
    void onDataReadable();
    void onDataClosed();
    void onDataError(QAbstractSocket::SocketError error);
    void readDataBlocks(int maxBlocks);
    void finishTransferIfComplete();
    void stopTransfer(int code, QByteArray text);
    void abortTransfer();
    void dataFailed(int code, QByteArray text);
    void closeDataConnection();
    void closeLocalFile();

    // TLS.
    QSslConfiguration tlsConfiguration() const;
    QTcpSocket* makeControlSocket();
    QTcpSocket* makeDataSocket();
    void connectDataSocket(quint16 port);
    void tlsStep(FtpTlsNegotiation::Next next);
    void onSslErrors(const QList<QSslError>& errors);
    void tlsFailed(const QByteArray& why);
    static bool isTlsError(QAbstractSocket::SocketError error);

    // Close step, return to idle.
    void closeStep(QByteArray reason = {});
    void returnToIdle();
    void closeControlConnection();
    void dropSocket(QTcpSocket*& socket);

    // Time-outs and events.
    void armTransferTimer();
    void onPoll();
    void updatePolling();
    void queueStatus(TFtpStatusCode code, QByteArray info = {});
    void queueProgress();
    void queueError(int code, QByteArray text = {});
    template <typename Emit> void queue(Emit emitEvent);

    TFtpProcessState state_ = TFtpProcessState::psClosed;
    bool loggedIn_ = false;
    bool loginRefused_ = false;
    qint64 BytesTransferred_ = 0;
    std::optional<qint64> progressCount_; // while an scProgress handler runs
    bool AbortXfer = false;
    bool NoEvents = false;

    QTcpSocket* control_ = nullptr; // child of this client
    bool established_ = false;      // the TCP connection has stood
    bool greeted_ = false;          // the server's first reply has come
    bool quitSent_ = false;         // a close of the connection is what we asked for
    QTcpSocket* data_ = nullptr;    // child of this client
    FtpTlsNegotiation tls_;         // of the current control connection
    QString peerName_;              // the name its certificate must bear
    QByteArray tlsFailure_;         // why its certificate was refused
    SocketEndProbe dataEnd_;
    std::optional<FtpTransfer> transfer_;
    FtpReplyReader reader_;
    FtpCommandStack CmdStack;
    std::vector<char> DataBuffer;

    FtpLateReplies late_; // for what ended on our side
    bool readQueued_ = false;

    QEventLoop* logoutSlice_ = nullptr; // the slice Logout is running, if any
    QTimer poll_;
    QElapsedTimer clock_;
    std::optional<qint64> transferDeadline_;
    std::optional<qint64> connectDeadline_;
};

} // namespace kr90x
