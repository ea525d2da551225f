#pragma once

#include "records/Measurement.h"

class QSqlQuery;

// A record's columns as values, in the column table's order: how the store and the outbox
// write a measurement and read it back. Samples are not among them.
namespace kr90x::records {

// Binds every column of `m`, in order, after what `q` has bound already.
void bindRecord(QSqlQuery& q, const Measurement& m);
// The measurement of a row whose columns start at `offset`; samples left empty.
Measurement measurementAt(const QSqlQuery& q, int offset);

} // namespace kr90x::records
