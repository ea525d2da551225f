#include "records/CsvExport.h"

#include <algorithm>
#include <charconv>

namespace kr90x::records {
namespace {

// A field as CSV wants it: quoted, with its quotes doubled, when it holds the separator,
// a quote or a line break.
QByteArray field(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(';') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes.prepend('"');
        bytes.append('"');
    }
    return bytes;
}

// A value with exactly `decimals` decimals and the given separator, never grouped.
// to_chars ignores the locale (a C library printf would put the locale's decimal point,
// of any length, in its place) and keeps a 65,534-sample export quick.
void appendValue(QByteArray& out, double value, int decimals, char separator) {
    // Room for the largest double written out whole, with its decimals.
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return; // an empty field rather than a number that is not the value
    }
    if (char* point = std::find(buffer, end, '.'); point != end) {
        *point = separator;
    }
    out.append(buffer, end - buffer);
}

} // namespace

QByteArray csvHeader() {
    QByteArray out("\xEF\xBB\xBF");
    for (const char* name : kCsvHeader) {
        out.append(name);
        out.append(name == kCsvHeader[std::size(kCsvHeader) - 1] ? "\r\n" : ";");
    }
    return out;
}

void appendRecordCsv(QByteArray& out, const Measurement& m, QChar decimalSeparator) {
    const char separator = decimalSeparator.toLatin1() ? decimalSeparator.toLatin1() : ',';
    // The fields every row of this record repeats, made once.
    const QByteArray prefix =
        field(m.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) + ';' +
        field(m.functionName) + ';' + field(m.vehicle.plate) + ';';
    const QByteArray suffix = ';' + field(m.unit) + "\r\n";
    const auto row = [&](std::size_t index, double value) {
        out.append(prefix);
        out.append(QByteArray::number(static_cast<qulonglong>(index)));
        out.append(';');
        appendValue(out, value, m.decimals, separator);
        out.append(suffix);
    };
    if (m.cylinders) {
        for (std::size_t n = 0; n < m.cylinders->size(); ++n) {
            row(n + 1, (*m.cylinders)[n]);
        }
    } else {
        out.reserve(out.size() + static_cast<qsizetype>(m.samples.size()) *
                                     (prefix.size() + suffix.size() + 12));
        for (std::size_t k = 0; k < m.samples.size(); ++k) {
            row(k + 1, m.samples[k]);
        }
    }
}

QByteArray recordsCsv(std::span<const Measurement> records, QChar decimalSeparator) {
    QByteArray out = csvHeader();
    for (const Measurement& m : records) {
        appendRecordCsv(out, m, decimalSeparator);
    }
    return out;
}

} // namespace kr90x::records
