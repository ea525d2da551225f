#include "update/FtpSocketErrors.h"

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

bool closesControlConnection(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    return error == E::ConnectionRefusedError || error == E::RemoteHostClosedError;
}

} // namespace kr90x
