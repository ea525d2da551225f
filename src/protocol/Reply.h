#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <stdexcept>

namespace kr90x {

// A reply field that is not a number. It ends the handling of that reply, silently.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The reply text of an input report: one character per data byte, NULs included, bytes
// above 127 as Latin-1.
QString replyText(const std::uint8_t* data, std::size_t size);

// The first ten characters, fewer when the reply is shorter.
QStringView ReplyPrefix(QStringView reply);

// A reply field that holds no number: where it stands.
struct FieldError {
    int position; // 1-based
    int width;
};

// The characters at a 1-based position and width read as a signed 32-bit integer:
// leading spaces, one optional sign, digits, up to the field's end or the first NUL.
// Anything else (no digit, a trailing space or other character, out of range) is an error.
Result<std::int32_t, FieldError> readReplyField(QStringView reply, int position, int width);

// The same, for the handlers that abandon a reply at its first bad field: throws
// ConversionError instead.
std::int32_t ReplyField(QStringView reply, int position, int width);

} // namespace kr90x
