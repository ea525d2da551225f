#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace kr90x {

struct PasvReply {
    std::array<int, 4> host{}; // as named by the server; not used to connect
    int port = 0;              // 0 when missing, not numeric or out of range
};

// The six numbers between the first "(" and the following ")" of a 227 reply.
// nullopt when there is no such pair of parentheses.
std::optional<PasvReply> parsePasvReply(QByteArrayView text);

// The size a 150 or 125 reply announces as "(N bytes)", if it does.
std::optional<qint64> parseAnnouncedSize(QByteArrayView text);

// The text between the first and the second double quote of a 257 reply; empty when
// there are not two of them.
QByteArray quotedDirectory(QByteArrayView text);

} // namespace kr90x
