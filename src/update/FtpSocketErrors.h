#pragma once

#include <QAbstractSocket>

namespace kr90x {

// Error events carry the socket error number the update handlers were written against
// (the Windows socket numbers), whatever platform we run on.
int socketErrorNumber(QAbstractSocket::SocketError error);

// The refused, reset and aborted family: such an error on the control connection closes
// it, any other leaves the client as it is.
bool closesControlConnection(QAbstractSocket::SocketError error);

} // namespace kr90x
