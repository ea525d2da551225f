#include "ftp/FtpSocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kr90x {

int socketErrorNumber(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::ConnectionRefusedError:
        return 10061;
    case E::RemoteHostClosedError:
        return 10054;
    case E::HostNotFoundError:
        return 11001;
    case E::SocketAccessError:
        return 10013;
    case E::SocketResourceError:
        return 10055;
    case E::SocketTimeoutError:
        return 10060;
    case E::NetworkError:
        return 10050;
    case E::AddressInUseError:
        return 10048;
    case E::SocketAddressNotAvailableError:
        return 10049;
    case E::UnsupportedSocketOperationError:
        return 10045;
    default:
        return 10004; // interrupted: the closest general number
    }
}

int socketErrorNumberOfErrno(int error) {
    switch (error) {
    case ECONNRESET:
        return 10054;
    case ECONNREFUSED:
        return 10061;
    case ECONNABORTED:
        return 10053;
    case ETIMEDOUT:
        return 10060;
    case ENETUNREACH:
        return 10051;
    case EHOSTUNREACH:
        return 10065;
    case EACCES:
    case EPERM:
        return 10013;
    case EADDRNOTAVAIL:
        return 10049;
    default:
        return 10004;
    }
}

bool closesControlConnection(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    return error == E::ConnectionRefusedError || error == E::RemoteHostClosedError;
}

std::optional<quint16> systemServiceLookup(const QByteArray& name) {
    const servent* service = ::getservbyname(name.constData(), "tcp");
    if (!service) {
        return std::nullopt;
    }
    return ntohs(static_cast<uint16_t>(service->s_port));
}

std::optional<quint16> tcpPortOf(QStringView wsPort, const ServiceLookup& lookup) {
    const QStringView text = wsPort.trimmed();
    bool numeric = false;
    const uint number = text.toUInt(&numeric);
    if (numeric) {
        if (number == 0 || number > 65535) {
            return std::nullopt;
        }
        return static_cast<quint16>(number);
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    if (const std::optional<quint16> port = lookup ? lookup(text.toLatin1()) : std::nullopt;
        port && *port != 0) {
        return port;
    }
    constexpr quint16 kFtpPort = 21; // RFC 959
    if (text.compare(u"ftp", Qt::CaseInsensitive) == 0) {
        return kFtpPort;
    }
    return std::nullopt;
}

void SocketEndProbe::watch(qintptr descriptor) {
    release();
    if (descriptor >= 0) {
        fd_ = ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
    }
}

bool SocketEndProbe::wasReset() const {
    if (fd_ < 0) {
        return false;
    }
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) {
        return false;
    }
    return info.tcpi_state == TCP_CLOSE;
}

void SocketEndProbe::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace kr90x
