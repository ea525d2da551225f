#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <variant>

namespace kr90x {

// The separators every real number is formatted with. The program holds its own,
// independent of the C library's or Qt's locale: after start the decimal separator is a
// comma whatever the system says, while the thousands separator stays the system's.
struct FormatSettings {
    QChar DecimalSeparator = QLatin1Char('.');
    // The null character where the system groups no thousands (its C locale, for one).
    QChar ThousandSeparator = QLatin1Char(',');

    // The system's separators: the C library's numeric locale as the environment names
    // it (LC_ALL, LC_NUMERIC, LANG). Not Qt's reading of it, whose C locale groups with a
    // ',' where the C library's groups not at all.
    static FormatSettings fromSystem();
};

// One argument of formatText().
class FormatArg {
public:
    template <std::signed_integral T> FormatArg(T v) : value_(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T> FormatArg(T v) : value_(static_cast<std::uint64_t>(v)) {}
    template <std::floating_point T> FormatArg(T v) : value_(static_cast<double>(v)) {}
    FormatArg(QString v) : value_(std::move(v)) {}
    FormatArg(const char* v) : value_(QString::fromUtf8(v)) {}

    const std::variant<std::int64_t, std::uint64_t, double, QString>& value() const {
        return value_;
    }

private:
    std::variant<std::int64_t, std::uint64_t, double, QString> value_;
};

class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-like formatting with the program's separators:
//   %[-][width][.precision]type, type one of
//   d  signed integer (precision = least digits)      u  unsigned integer
//   f  fixed, precision decimals (default 2)          n  as f, with thousands grouping
//   s  text (precision = most characters)             %% a percent sign
// Width pads with spaces on the left, or on the right after '-'. Reals round half away
// from zero on their shortest decimal form, so 12.25 with one decimal gives 12.3.
// A type that does not fit its argument, or too few arguments, throws FormatError.
QString formatText(QStringView pattern, std::initializer_list<FormatArg> args,
                   const FormatSettings& settings);

// A real formatted with a picture of the kind "#,##0.###": a ',' anywhere before the
// decimal point asks for thousands grouping, '0's are digits always shown, '#'s after the
// point are decimals shown only when not zero.
QString formatFloat(QStringView picture, double value, const FormatSettings& settings);

// The program's fixed formats.
inline constexpr char16_t kVersionFormat[] = u"Version %1.2f";
inline constexpr char16_t kCylinderFormat[] = u"Cylinder # %1u: %4.1n Bar";
inline constexpr char16_t kChartNumberPicture[] = u"#,##0.###";
inline constexpr char16_t kProgressCaptionFormat[] = u"Progress...[%d%%]";

} // namespace kr90x
