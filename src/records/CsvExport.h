#pragma once

#include "records/Measurement.h"

#include <QByteArray>
#include <QChar>

#include <cstddef>
#include <functional>
#include <optional>
#include <span>

namespace kr90x::records {

// Records as a CSV file a spreadsheet opens as it is in a decimal-comma locale: UTF-8
// (with the byte-order mark those spreadsheets look for), a header row, ';' between the
// fields, numbers with `decimalSeparator`. One row per cylinder or per sample, each with
// its record's date, test function and vehicle. Texts are kept whole, quoted where
// needed; a text a spreadsheet would take for a formula (=, +, -, @, a tab or a carriage
// return first) is written with a "'" before it. Numbers are never changed.
QByteArray recordsCsv(std::span<const Measurement> records, QChar decimalSeparator);

// The same file in parts, for a file written one record at a time: its start (the mark
// and the header row), then each record's rows, handed to `put` a few rows at a time so
// that what is held stays bounded whatever a record holds. Returns the rows written, or
// nothing when `put` failed.
QByteArray csvHeader();
std::optional<std::size_t> writeRecordCsv(const Measurement& m, QChar decimalSeparator,
                                          const std::function<bool(const QByteArray&)>& put);

// One text field as the file writes it: quoted, with its quotes doubled, when it holds
// the separator, a quote, a line feed or a carriage return; a "'" before a formula.
QByteArray csvField(const QString& text);

// The header row's fields. The vehicle's further details came after the first six, so
// those keep their places.
inline constexpr const char* kCsvHeader[] = {
    "Date", "Test function", "Plate",          "Cylinder or sample", "Value",
    "Unit", "VIN",           "Make and model", "Odometer",           "Customer"};

} // namespace kr90x::records
