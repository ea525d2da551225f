#include "records/CsvExport.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace kr90x::records {

// A text field as CSV wants it: quoted, with its quotes doubled, when it holds the
// separator, a quote or a line break; and never a formula to a spreadsheet, which runs
// a cell starting with one of these (a plate "=cmd|' /C calc'!A0" would).
QByteArray csvField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() &&
        std::string_view("=+-@\t\r").find(bytes.front()) != std::string_view::npos) {
        bytes.prepend('\'');
    }
    if (bytes.contains(';') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes.prepend('"');
        bytes.append('"');
    }
    return bytes;
}

namespace {

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

std::optional<std::size_t> writeRecordCsv(const Measurement& m, QChar decimalSeparator,
                                          const std::function<bool(const QByteArray&)>& put) {
    // Handed on once this much has gathered: a few rows, never the record's all.
    constexpr qsizetype kChunk = 64 * 1024;
    const char separator = decimalSeparator.toLatin1() ? decimalSeparator.toLatin1() : ',';
    // The fields every row of this record repeats, made once.
    const VehicleDetails& v = m.vehicle;
    const QByteArray prefix =
        csvField(m.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) + ';' +
        csvField(m.functionName) + ';' + csvField(v.plate) + ';';
    const QByteArray suffix = ';' + csvField(m.unit) + ';' + csvField(v.vin) + ';' +
                              csvField(v.makeModel) + ';' + csvField(v.odometer) + ';' +
                              csvField(v.customer) + "\r\n";
    QByteArray out;
    std::size_t rows = 0;
    bool written = true;
    const auto row = [&](std::size_t index, double value) {
        out.append(prefix);
        out.append(QByteArray::number(static_cast<qulonglong>(index)));
        out.append(';');
        appendValue(out, value, m.decimals, separator);
        out.append(suffix);
        ++rows;
        if (out.size() >= kChunk) {
            written = written && put(out);
            out.clear();
        }
    };
    if (m.cylinders) {
        for (std::size_t n = 0; n < m.cylinders->size(); ++n) {
            row(n + 1, (*m.cylinders)[n]);
        }
    } else {
        for (std::size_t k = 0; k < m.samples.size() && written; ++k) {
            row(k + 1, m.samples[k]);
        }
    }
    if (!out.isEmpty()) {
        written = written && put(out);
    }
    return written ? std::optional(rows) : std::nullopt;
}

QByteArray recordsCsv(std::span<const Measurement> records, QChar decimalSeparator) {
    QByteArray out = csvHeader();
    for (const Measurement& m : records) {
        (void)writeRecordCsv(m, decimalSeparator, [&out](const QByteArray& rows) {
            out.append(rows);
            return true;
        });
    }
    return out;
}

} // namespace kr90x::records
