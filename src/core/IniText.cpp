#include "core/IniText.h"

#include <limits>

namespace kr90x {
namespace {

QByteArrayView trimmed(QByteArrayView v) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!v.isEmpty() && space(v.front())) {
        v = v.sliced(1);
    }
    while (!v.isEmpty() && space(v.back())) {
        v.chop(1);
    }
    return v;
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<QByteArray> iniValue(QByteArrayView text, QByteArrayView section,
                                   QByteArrayView key) {
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    bool inSection = false;
    bool sectionSeen = false;
    while (!text.isEmpty()) {
        qsizetype end = 0;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        const QByteArrayView line = trimmed(text.first(end));
        text = text.sliced(end < text.size() ? end + 1 : end);

        // A "[" without its "]" names no section.
        const qsizetype close = line.startsWith('[') ? line.indexOf(']') : -1;
        if (close > 0) {
            const QByteArrayView name = trimmed(line.sliced(1, close - 1));
            // Only the first section of a name counts.
            inSection = !sectionSeen && sameName(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection || line.startsWith(';')) {
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) {
            continue;
        }
        if (sameName(trimmed(line.first(eq)), key)) {
            return trimmed(line.sliced(eq + 1)).toByteArray();
        }
    }
    return std::nullopt;
}

QByteArray iniWithValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                        QByteArrayView value) {
    const QByteArray eol = text.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray line = key.toByteArray() + '=' + value.toByteArray();
    const qsizetype bom = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    bool inSection = false;
    bool sectionSeen = false;
    std::optional<qsizetype> afterHeading;
    for (qsizetype pos = bom; pos < text.size();) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        const QByteArrayView current = trimmed(text.sliced(pos, end - pos));
        qsizetype next = end;
        if (next < text.size() && text[next] == '\r' && next + 1 < text.size() &&
            text[next + 1] == '\n') {
            ++next;
        }
        next = next < text.size() ? next + 1 : next;
        const qsizetype close = current.startsWith('[') ? current.indexOf(']') : -1;
        if (close > 0) {
            if (inSection) {
                break; // the key is not in the section
            }
            inSection = !sectionSeen && sameName(trimmed(current.sliced(1, close - 1)), section);
            sectionSeen = sectionSeen || inSection;
            if (inSection) {
                afterHeading = next;
            }
        } else if (inSection && !current.startsWith(';')) {
            const qsizetype eq = current.indexOf('=');
            if (eq >= 0 && sameName(trimmed(current.first(eq)), key)) {
                return text.first(pos).toByteArray() + line + text.sliced(end).toByteArray();
            }
        }
        pos = next;
    }
    if (afterHeading) {
        // A heading on the file's last line has no line end of its own yet.
        const bool ended = *afterHeading > 0 &&
                           (text[*afterHeading - 1] == '\n' || text[*afterHeading - 1] == '\r');
        return text.first(*afterHeading).toByteArray() + (ended ? QByteArray() : eol) + line + eol +
               text.sliced(*afterHeading).toByteArray();
    }
    QByteArray out = text.toByteArray();
    if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) {
        out += eol;
    }
    return out + '[' + section.toByteArray() + ']' + eol + line + eol;
}

std::int32_t iniInteger(QByteArrayView value) {
    value = trimmed(value);
    bool negative = false;
    if (!value.isEmpty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value = value.sliced(1);
    }
    int base = 10;
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        base = 16;
        value = value.sliced(2);
    }
    if (value.isEmpty()) {
        return 0;
    }
    // One more than the largest positive value, for the negative end of the range.
    constexpr qint64 limit = qint64(std::numeric_limits<std::int32_t>::max()) + 1;
    qint64 n = 0;
    for (char c : value) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return 0;
        }
        n = n * base + digit;
        if (n > limit) {
            return 0;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-n);
    }
    return n == limit ? 0 : static_cast<std::int32_t>(n);
}

} // namespace kr90x
