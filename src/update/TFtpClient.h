#pragma once

#include "update/FtpCommandStack.h"
#include "update/FtpReplyReader.h"
#include "update/FtpTypes.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class QTcpSocket;

namespace kr90x {

// FTP client on the main event loop: one control connection, and one passive data
// connection while a file is fetched. Operations start work and return at once (Logout
// excepted); outcomes arrive as OnFtpStatus / OnFtpError, queued in the order they arise,
// each with its own copy of its text. Handlers may call any operation, and may delete the
// client: from then on no event of it is delivered.
class TFtpClient : public QObject {
    Q_OBJECT

public:
    static constexpr int TickMs = 55;
    static constexpr qsizetype DataBufferSize = 32769;

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
    int TransferTimeout = 1092; // ticks of 55 ms; 0 or less: none
    int ConnectTimeout = 0;     // ticks of 55 ms; 0 or less: none
    qint64 RestartAt = 0;       // byte offset for rmRestart
    // How often the time-outs are tested, and how long Logout waits for the server to
    // close before closing by itself. Tests shorten them.
    int PollIntervalMs = 50;
    int LogoutLimitMs = 10000;

    // Throws FtpException when the connection cannot even be started.
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
    qint64 BytesTransferred() const { return BytesTransferred_; }

signals:
    void OnFtpStatus(kr90x::TFtpClient* Sender, kr90x::TFtpStatusCode StatusCode,
                     const QByteArray& InfoText);
    void OnFtpError(kr90x::TFtpClient* Sender, int ErrorCode, const QByteArray& ErrorText);

private:
    enum class CloseCause { ByClient, ByConnection };

    void openControlConnection();
    void onControlConnected();
    void onControlReadable();
    void onControlDisconnected();
    void onControlError(QAbstractSocket::SocketError error);
    void handleReply(const FtpReply& reply);
    void handleLoginReply(const FtpReply& reply);
    void handleGetReply(const FtpReply& reply);
    void handleCmdReply(const FtpReply& reply);
    void handleIdleReply(const FtpReply& reply);
    void handleAbortAnswer(const FtpReply& reply);
    void errorRule(const FtpReply& reply);
    void closeStep(CloseCause cause);
    void returnToIdle();

    void sendCommand(const QByteArray& line, bool armTimer = true);
    void sendNext();

    bool openLocalFile(TFtpRetrieveMode mode);
    void openDataConnection(const QByteArray& replyText);
    void onDataReadable();
    void onDataClosed();
    void onDataError(QAbstractSocket::SocketError error);
    // All that is waiting unless told otherwise.
    void readDataBlocks(int maxBlocks = std::numeric_limits<int>::max());
    void finishTransferIfComplete();
    void localFileFailed();
    void closeDataConnection();
    void closeControlConnection();
    void closeLocalFile();

    void armTransferTimer();
    void onPoll();
    void updatePolling();

    void queueStatus(TFtpStatusCode code, QByteArray info = {});
    void queueError(int code, QByteArray text = {});

    TFtpProcessState state_ = TFtpProcessState::psClosed;
    bool loggedIn_ = false;
    qint64 BytesTransferred_ = 0;
    bool AbortXfer = false;
    bool NoEvents = false;

    QTcpSocket* control_ = nullptr; // child of this client
    QTcpSocket* data_ = nullptr;    // child of this client
    std::unique_ptr<QFile> file_;
    QByteArray remoteName_;
    QString localName_;
    FtpReplyReader reader_;
    FtpCommandStack CmdStack;
    std::vector<char> DataBuffer;

    // A transfer is complete only once both have happened, in either order.
    bool dataClosed_ = false;
    bool finalReplySeen_ = false;
    std::optional<qint64> announcedSize_;
    bool sizeCheck_ = true; // a restarted transfer announces the whole size
    // A local file error waiting for the answer to its ABOR, and what that answer left.
    std::optional<QByteArray> localError_;
    bool abortAcknowledged_ = false;
    bool strayAbortAnswer_ = false;
    bool readQueued_ = false;

    QEventLoop* logoutSlice_ = nullptr; // the slice Logout is running, if any
    QTimer poll_;
    QElapsedTimer clock_;
    std::optional<qint64> transferDeadline_;
    std::optional<qint64> connectDeadline_;
};

} // namespace kr90x
