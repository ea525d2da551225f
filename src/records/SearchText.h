#pragma once

#include "records/Measurement.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kr90x::records {

// When a record was measured as the records list shows it: local time, to the second.
QString recordDateText(const QDateTime& utc);

// What the list's search looks through for a record: its date as listed, its test function,
// its vehicle and "virtual" for a result of the virtual tester, case-folded.
QString searchText(const QDateTime& measuredAt, const QString& functionName,
                   const VehicleDetails& vehicle, bool virtualTester);

// The words of a search, case-folded: a record is listed when its search text holds each.
QStringList searchWords(const QString& typed);

// A LIKE pattern that finds `word` anywhere, its own % _ and \ taken as they are (with
// ESCAPE '\').
QString containsPattern(const QString& word);

} // namespace kr90x::records
