#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace kr90x {

struct PasvReply {
    std::array<int, 4> host{}; // as named by the server; not used to connect
    int port = 0;              // p1 * 256 + p2
};

// The address of a 227 reply: the first six comma-separated numbers of its final line
// after the code, each 0 to 255 (RFC 1123 asks clients to scan for them rather than
// rely on parentheses). nullopt when there are none such.
std::optional<PasvReply> parsePasvReply(QByteArrayView finalLine);

// The size a 150 or 125 reply announces as "(N bytes)", if it does.
std::optional<qint64> parseAnnouncedSize(QByteArrayView text);

// The text between the first and the second double quote of a 257 reply; empty when
// there are not two of them.
QByteArray quotedDirectory(QByteArrayView text);

// A server's text as one log line: line breaks and other control characters become
// blanks, and it is cut at a length a log line can bear.
QByteArray oneLogLine(QByteArrayView text);

} // namespace kr90x
