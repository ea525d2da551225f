#pragma once

#include <QByteArrayView>

#include <stdexcept>
#include <string>

namespace kr90x {

// What the client is doing. The rules name the states they mean: no check goes by their
// order.
enum class TFtpProcessState { psClosed, psLogin, psIdle, psGet, psCmd };

// Handlers receive these by number too, so the order is fixed.
enum class TFtpStatusCode {
    scClose = 0,
    scOpen = 1,
    scLogout = 2,
    scLogin = 3,
    scComplete = 4,
    scCurrentDir = 5,
    scDataAvail = 6,
    scProgress = 7,
    scTransferOK = 8,
    scTimeout = 9,
};

enum class TFtpRetrieveMode { rmAppend, rmReplace, rmRestart };

enum class TFtpFileType { ftAscii, ftBinary };

// FTP over TLS (RFC 4217, explicit: AUTH TLS on the usual port). Off: plain FTP. Try:
// TLS when the server offers it, plain when it refuses AUTH TLS. Required: a server that
// refuses TLS, or whose certificate does not check out, gets no login.
enum class FtpTls { Off, Try, Required };

// Error codes of our own, beside reply codes and socket error numbers.
inline constexpr int kFtpErrorConnectTimeout = -1;
inline constexpr int kFtpErrorLocalFile = -2;
// The data connection closed and the server said it was done, but fewer (or more)
// bytes came than the server announced: the file must not be taken as complete.
inline constexpr int kFtpErrorIncompleteTransfer = -3;
// What answered on the server's port is not an FTP server (its greeting is no FTP reply).
inline constexpr int kFtpErrorNotFtp = -4;
// More bytes came than the server announced, or than any update file can have.
inline constexpr int kFtpErrorTooLarge = -5;
// A file name that would end its command early: a CR, LF or NUL in it would let the rest
// run on the server as a command of its own ("file\r\nDELE file"). Nothing is sent.
inline constexpr int kFtpErrorUnsafeName = -6;

// A text that may go on the control connection as the argument of a command.
bool ftpArgumentSafe(QByteArrayView text);

// Raised to the caller of an operation that cannot even start (no address, unknown host
// or service, full command stack).
class FtpException : public std::runtime_error {
public:
    explicit FtpException(const std::string& what) : std::runtime_error(what) {}
};

const char* statusCodeName(TFtpStatusCode code);
const char* processStateName(TFtpProcessState state);

} // namespace kr90x
