#include "ftp/FtpReplyText.h"

#include <algorithm>

namespace kr90x {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// One number of the address at `i`: one to three digits, at most 255. Moves `i` past it.
std::optional<int> addressNumber(QByteArrayView text, qsizetype& i) {
    int value = 0;
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        if (++digits > 3) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (digits == 0 || value > 255) {
        return std::nullopt;
    }
    return value;
}

void skipBlanks(QByteArrayView text, qsizetype& i) {
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
}

// Six numbers starting at `i`, separated by commas with blanks allowed around them.
std::optional<std::array<int, 6>> sixNumbersAt(QByteArrayView text, qsizetype i) {
    std::array<int, 6> numbers{};
    for (size_t n = 0; n < numbers.size(); ++n) {
        if (n > 0) {
            skipBlanks(text, i);
            if (i >= text.size() || text[i] != ',') {
                return std::nullopt;
            }
            ++i;
            skipBlanks(text, i);
        }
        const std::optional<int> number = addressNumber(text, i);
        if (!number) {
            return std::nullopt;
        }
        numbers[n] = *number;
    }
    return numbers;
}

} // namespace

std::optional<PasvReply> parsePasvReply(QByteArrayView finalLine) {
    qsizetype from = 0;
    if (finalLine.size() >= 3 && isDigit(finalLine[0]) && isDigit(finalLine[1]) &&
        isDigit(finalLine[2])) {
        from = 3; // the reply code is not part of the address
    }
    for (qsizetype i = from; i < finalLine.size(); ++i) {
        // A number starts at a digit that does not continue another.
        if (!isDigit(finalLine[i]) || (i > from && isDigit(finalLine[i - 1]))) {
            continue;
        }
        if (const auto numbers = sixNumbersAt(finalLine, i)) {
            PasvReply reply;
            std::copy_n(numbers->begin(), 4, reply.host.begin());
            reply.port = (*numbers)[4] * 256 + (*numbers)[5];
            return reply;
        }
    }
    return std::nullopt;
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

QByteArray oneLogLine(QByteArrayView text) {
    constexpr qsizetype kMaxLogLine = 512;
    QByteArray line;
    line.reserve(std::min(text.size(), kMaxLogLine));
    for (char c : text.first(std::min(text.size(), kMaxLogLine))) {
        const auto u = static_cast<unsigned char>(c);
        line.append(u < 0x20 || u == 0x7f ? ' ' : c);
    }
    return line.simplified();
}

} // namespace kr90x
