#include "core/NumberFormat.h"

#include <QStringDecoder>

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>

namespace kr90x {
namespace {

// A real split into its decimal digits, rounded to a number of decimals.
struct Digits {
    bool negative = false;
    QString integer;  // at least one digit
    QString fraction; // exactly the requested decimals
    bool special = false;
    QString text; // NAN, INF or -INF when special
};

Digits roundedDigits(double value, int decimals) {
    Digits d;
    if (std::isnan(value) || std::isinf(value)) {
        d.special = true;
        d.text = std::isnan(value) ? QStringLiteral("NAN")
                                   : (value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF"));
        return d;
    }
    // The shortest fixed form that reads back as the same double: rounding its decimal
    // digits gives what a person expects (1.005 -> 1.01), which binary rounding does not.
    std::array<char, 400> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                   std::chars_format::fixed);
    if (ec != std::errc()) {
        throw FormatError("number too long to format");
    }
    const QString text = QString::fromLatin1(buf.data(), end - buf.data());
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    QString integer = point < 0 ? text : text.left(point);
    QString fraction = point < 0 ? QString() : text.mid(point + 1);

    bool roundUp = fraction.size() > decimals && fraction.at(decimals) >= QLatin1Char('5');
    fraction = fraction.left(decimals).leftJustified(decimals, QLatin1Char('0'));
    QString all = integer + fraction;
    if (roundUp) {
        qsizetype i = all.size() - 1;
        for (; i >= 0; --i) {
            if (all[i] == QLatin1Char('9')) {
                all[i] = QLatin1Char('0');
            } else {
                all[i] = QChar(all[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            all.prepend(QLatin1Char('1'));
        }
    }
    d.integer = all.left(all.size() - decimals);
    d.fraction = all.right(decimals);
    // Drop leading zeros but keep one digit before the point.
    qsizetype lead = 0;
    while (lead + 1 < d.integer.size() && d.integer.at(lead) == QLatin1Char('0')) {
        ++lead;
    }
    d.integer.remove(0, lead);
    const bool allZero =
        std::all_of(all.cbegin(), all.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    d.negative = std::signbit(value) && !allZero;
    return d;
}

QString grouped(const QString& integer, QChar separator) {
    if (separator.isNull()) {
        return integer;
    }
    QString out;
    out.reserve(integer.size() + integer.size() / 3);
    const qsizetype n = integer.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out.append(separator);
        }
        out.append(integer.at(i));
    }
    return out;
}

QString joined(const Digits& d, bool grouping, const FormatSettings& s) {
    if (d.special) {
        return d.text;
    }
    QString out = d.negative ? QStringLiteral("-") : QString();
    out += grouping ? grouped(d.integer, s.ThousandSeparator) : d.integer;
    if (!d.fraction.isEmpty()) {
        out += s.DecimalSeparator;
        out += d.fraction;
    }
    return out;
}

double asReal(const FormatArg& arg) {
    if (const double* v = std::get_if<double>(&arg.value())) {
        return *v;
    }
    throw FormatError("format expects a real number");
}

QString asInteger(const FormatArg& arg, bool isUnsigned, int precision) {
    QString digits;
    bool negative = false;
    if (const auto* s = std::get_if<std::int64_t>(&arg.value())) {
        if (isUnsigned) {
            digits = QString::number(static_cast<std::uint64_t>(*s));
        } else {
            negative = *s < 0;
            digits = QString::number(*s).remove(QLatin1Char('-'));
        }
    } else if (const auto* u = std::get_if<std::uint64_t>(&arg.value())) {
        digits = QString::number(*u);
    } else {
        throw FormatError("format expects an integer");
    }
    if (precision > digits.size()) {
        digits = digits.rightJustified(precision, QLatin1Char('0'));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

// A locale_t that frees itself.
class CLocale {
public:
    CLocale(int mask, const char* name) : locale_(newlocale(mask, name, locale_t(nullptr))) {}
    ~CLocale() {
        if (locale_ != locale_t(nullptr)) {
            freelocale(locale_);
        }
    }
    CLocale(const CLocale&) = delete;
    CLocale& operator=(const CLocale&) = delete;
    bool valid() const { return locale_ != locale_t(nullptr); }
    const char* item(nl_item what) const { return nl_langinfo_l(what, locale_); }

private:
    locale_t locale_;
};

// One character of the locale's text in its code set; the null character when the text
// is empty or not one character.
QChar localeChar(const char* text, const char* codeset) {
    const QByteArray bytes(text ? text : "");
    QString decoded;
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return (c & 0x80) == 0; })) {
        decoded = QString::fromLatin1(bytes);
    } else {
        QStringDecoder decoder(codeset ? codeset : "UTF-8");
        if (decoder.isValid()) {
            decoded = decoder(bytes);
            if (decoder.hasError()) {
                decoded.clear();
            }
        }
    }
    return decoded.size() == 1 ? decoded.at(0) : QChar();
}

} // namespace

FormatSettings FormatSettings::fromSystem() {
    FormatSettings s;
    // "" names the locale the environment asks for; one that is not installed leaves the
    // C library in its C locale, and so does this.
    CLocale system(LC_NUMERIC_MASK | LC_CTYPE_MASK, "");
    CLocale fallback(LC_NUMERIC_MASK | LC_CTYPE_MASK, "C");
    const CLocale& locale = system.valid() ? system : fallback;
    if (!locale.valid()) {
        return s;
    }
    const char* codeset = locale.item(CODESET);
    if (const QChar point = localeChar(locale.item(RADIXCHAR), codeset); !point.isNull()) {
        s.DecimalSeparator = point;
    }
    // No separator, or a grouping of none (empty, 0 or CHAR_MAX first): no groups.
    const char* grouping = locale.item(GROUPING);
    const bool groups = grouping && grouping[0] > 0 && grouping[0] != CHAR_MAX;
    s.ThousandSeparator = groups ? localeChar(locale.item(THOUSEP), codeset) : QChar();
    return s;
}

QString formatText(QStringView pattern, std::initializer_list<FormatArg> args,
                   const FormatSettings& settings) {
    QString out;
    const FormatArg* next = args.begin();
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%')) {
            out.append(c);
            continue;
        }
        if (++i >= n) {
            throw FormatError("format ends inside a specifier");
        }
        if (pattern.at(i) == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
            continue;
        }
        bool left = false;
        if (pattern.at(i) == QLatin1Char('-')) {
            left = true;
            ++i;
        }
        int width = 0;
        while (i < n && pattern.at(i).isDigit()) {
            width = width * 10 + pattern.at(i).digitValue();
            ++i;
        }
        int precision = -1;
        if (i < n && pattern.at(i) == QLatin1Char('.')) {
            precision = 0;
            ++i;
            while (i < n && pattern.at(i).isDigit()) {
                precision = precision * 10 + pattern.at(i).digitValue();
                ++i;
            }
        }
        if (i >= n) {
            throw FormatError("format ends inside a specifier");
        }
        if (next == args.end()) {
            throw FormatError("too few arguments for the format");
        }
        const FormatArg& arg = *next++;
        QString field;
        switch (pattern.at(i).toLower().unicode()) {
        case u'd':
            field = asInteger(arg, false, precision);
            break;
        case u'u':
            field = asInteger(arg, true, precision);
            break;
        case u'f':
            field =
                joined(roundedDigits(asReal(arg), precision < 0 ? 2 : precision), false, settings);
            break;
        case u'n':
            field =
                joined(roundedDigits(asReal(arg), precision < 0 ? 2 : precision), true, settings);
            break;
        case u's': {
            const QString* s = std::get_if<QString>(&arg.value());
            if (s == nullptr) {
                throw FormatError("format expects a text");
            }
            field = precision >= 0 ? s->left(precision) : *s;
            break;
        }
        default:
            throw FormatError("unknown format type");
        }
        out += left ? field.leftJustified(width) : field.rightJustified(width);
    }
    return out;
}

QString formatFloat(QStringView picture, double value, const FormatSettings& settings) {
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    const QStringView before = point < 0 ? picture : picture.left(point);
    const QStringView after = point < 0 ? QStringView() : picture.mid(point + 1);
    const bool grouping = before.contains(QLatin1Char(','));
    const int minDecimals = static_cast<int>(after.count(QLatin1Char('0')));
    const int maxDecimals = minDecimals + static_cast<int>(after.count(QLatin1Char('#')));
    const int minInteger = static_cast<int>(before.count(QLatin1Char('0')));

    Digits d = roundedDigits(value, maxDecimals);
    if (d.special) {
        return d.text;
    }
    while (d.fraction.size() > minDecimals && d.fraction.endsWith(QLatin1Char('0'))) {
        d.fraction.chop(1);
    }
    if (minInteger == 0 && d.integer == QLatin1String("0") && !d.fraction.isEmpty()) {
        d.integer.clear();
    } else if (d.integer.size() < minInteger) {
        d.integer = d.integer.rightJustified(minInteger, QLatin1Char('0'));
    }
    return joined(d, grouping, settings);
}

} // namespace kr90x
