#pragma once

#include "records/Measurement.h"

#include <QByteArray>
#include <QChar>

#include <span>

namespace kr90x::records {

// Records as a CSV file a spreadsheet opens as it is in a decimal-comma locale: UTF-8
// (with the byte-order mark those spreadsheets look for), a header row, ';' between the
// fields, numbers with `decimalSeparator`. One row per cylinder or per sample, each with
// its record's date, test function and plate. Texts are kept whole, quoted where needed.
QByteArray recordsCsv(std::span<const Measurement> records, QChar decimalSeparator);

// The same file in parts, for a file written one record at a time: its start (the mark
// and the header row), then each record's rows appended to `out`.
QByteArray csvHeader();
void appendRecordCsv(QByteArray& out, const Measurement& m, QChar decimalSeparator);

// The header row's fields.
inline constexpr const char* kCsvHeader[] = {
    "Date", "Test function", "Plate", "Cylinder or sample", "Value", "Unit"};

} // namespace kr90x::records
