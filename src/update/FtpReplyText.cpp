#include "update/FtpReplyText.h"

#include <algorithm>

namespace kr90x {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading decimal digits of a field, saturated so that hostile input cannot overflow.
std::optional<qint64> decimalField(QByteArrayView field) {
    field = field.trimmed();
    if (field.isEmpty() || !isDigit(field[0])) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (char c : field) {
        if (!isDigit(c)) {
            break;
        }
        value = std::min<qint64>(value * 10 + (c - '0'), qint64(1) << 40);
    }
    return value;
}

} // namespace

std::optional<PasvReply> parsePasvReply(QByteArrayView text) {
    const qsizetype open = text.indexOf('(');
    if (open < 0) {
        return std::nullopt;
    }
    const qsizetype close = text.indexOf(')', open + 1);
    if (close < 0) {
        return std::nullopt;
    }
    QByteArrayView inside = text.sliced(open + 1, close - open - 1);
    std::array<qint64, 6> numbers{};
    for (int i = 0; i < 6; ++i) {
        const qsizetype comma = inside.indexOf(',');
        const QByteArrayView field = comma < 0 ? inside : inside.first(comma);
        numbers[static_cast<size_t>(i)] = decimalField(field).value_or(0);
        if (comma < 0) {
            break;
        }
        inside = inside.sliced(comma + 1);
    }
    PasvReply reply;
    for (size_t i = 0; i < 4; ++i) {
        reply.host[i] = static_cast<int>(std::min<qint64>(numbers[i], 255));
    }
    const qint64 p1 = numbers[4];
    const qint64 p2 = numbers[5];
    reply.port = (p1 <= 255 && p2 <= 255) ? static_cast<int>(p1 * 256 + p2) : 0;
    return reply;
}

std::optional<qint64> parseAnnouncedSize(QByteArrayView text) {
    qsizetype from = 0;
    while (true) {
        const qsizetype open = text.indexOf('(', from);
        if (open < 0) {
            return std::nullopt;
        }
        from = open + 1;
        qsizetype i = open + 1;
        qint64 value = 0;
        qsizetype digits = 0;
        while (i < text.size() && isDigit(text[i]) && digits < 18) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || (i < text.size() && isDigit(text[i]))) {
            continue;
        }
        const QByteArrayView rest = text.sliced(i);
        if (rest.startsWith(" bytes") || rest.startsWith(" Bytes") || rest.startsWith(" BYTES")) {
            return value;
        }
    }
}

QByteArray quotedDirectory(QByteArrayView text) {
    const qsizetype first = text.indexOf('"');
    if (first < 0) {
        return {};
    }
    const qsizetype second = text.indexOf('"', first + 1);
    if (second < 0) {
        return {};
    }
    return text.sliced(first + 1, second - first - 1).toByteArray();
}

} // namespace kr90x
