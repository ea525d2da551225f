#pragma once

#include "records/Measurement.h"

#include <QString>

class QSqlQuery;

// A record's columns as values, in the column table's order: how the store and the outbox
// write a measurement and read it back. Samples are not among them.
namespace kr90x::records {

// A text as a column holds it: '' for "not given" (Qt would bind a null text as SQL NULL),
// and a NUL as U+FFFD. PostgreSQL refuses NUL in a text, and Qt's driver writes the values
// into the statement, where a NUL would cut it off: the result would never be kept.
QString storedText(const QString& s);
// Binds every column of `m`, in order, after what `q` has bound already.
void bindRecord(QSqlQuery& q, const Measurement& m);
// The measurement of a row whose columns start at `offset`; samples left empty.
Measurement measurementAt(const QSqlQuery& q, int offset);

} // namespace kr90x::records
