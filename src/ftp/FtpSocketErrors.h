#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QStringView>

#include <functional>
#include <optional>

namespace kr90x {

// Error events carry the socket error number the update handlers were written against
// (the Windows socket numbers), whatever platform we run on.
int socketErrorNumber(QAbstractSocket::SocketError error);
// The same for a system error number (errno).
int socketErrorNumberOfErrno(int error);

// The refused, reset and aborted family: such an error on the control connection closes
// it, any other leaves the client as it is.
bool closesControlConnection(QAbstractSocket::SocketError error);

// A TCP service name looked up in the system's service database.
using ServiceLookup = std::function<std::optional<quint16>(const QByteArray& name)>;
std::optional<quint16> systemServiceLookup(const QByteArray& name);

// The port a WsPort text names: a decimal number, or a service name. "ftp" is 21 also
// where the service database is missing (a minimal system has no /etc/services).
std::optional<quint16> tcpPortOf(QStringView wsPort,
                                 const ServiceLookup& lookup = systemServiceLookup);

// Qt reads a connection reset by the peer as its normal end (it takes ECONNRESET for end
// of file) and closes its descriptor at once. A second descriptor of the same socket
// keeps it open after that, so the kernel can still say how the peer ended it: a reset
// leaves the socket closed, an orderly end leaves it waiting for our own close.
class SocketEndProbe {
public:
    SocketEndProbe() = default;
    ~SocketEndProbe() { release(); }
    SocketEndProbe(const SocketEndProbe&) = delete;
    SocketEndProbe& operator=(const SocketEndProbe&) = delete;

    void watch(qintptr descriptor);
    // True once the peer has reset the connection.
    bool wasReset() const;
    // Closes the second descriptor: the socket closes for real once Qt's is gone too.
    void release();

private:
    int fd_ = -1;
};

} // namespace kr90x
