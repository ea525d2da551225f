#include "protocol/Reply.h"

#include <algorithm>
#include <limits>

namespace kr90x {

QString replyText(const std::uint8_t* data, std::size_t size) {
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QStringView ReplyPrefix(QStringView reply) {
    return reply.left(10);
}

Result<std::int32_t, FieldError> readReplyField(QStringView reply, int position, int width) {
    QStringView field;
    if (position >= 1 && width > 0 && position <= reply.size()) {
        field = reply.mid(position - 1, width);
    }
    const FieldError bad{position, width};
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && field[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (field[i] == u'+' || field[i] == u'-')) {
        negative = field[i] == u'-';
        ++i;
    }
    const qsizetype firstDigit = i;
    std::int64_t value = 0;
    for (; i < n && field[i] != QChar(0); ++i) {
        const char16_t c = field[i].unicode();
        if (c < u'0' || c > u'9') {
            return fail(bad);
        }
        value = value * 10 + (c - u'0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
            return fail(bad);
        }
    }
    if (i == firstDigit) {
        return fail(bad);
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min()) {
        return fail(bad);
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t ReplyField(QStringView reply, int position, int width) {
    Result<std::int32_t, FieldError> value = readReplyField(reply, position, width);
    if (!value) {
        throw ConversionError(
            "'" +
            reply.mid(std::max(position, 1) - 1, std::max(width, 0)).toString().toStdString() +
            "' is not a valid integer value");
    }
    return *value;
}

} // namespace kr90x
