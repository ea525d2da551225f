#pragma once

#include "records/SqlDialect.h"

#include <QSqlError>
#include <QStringList>

class QSqlDatabase;

namespace kr90x::records {

// The schema version this program writes. Every older version is brought up to it, step
// by step; a newer one is left as it is and read only.
inline constexpr int kSchemaVersion = 2;

// The statements that take a database from version `version` - 1 to `version`.
QStringList migrationTo(int version, const SqlDialect& dialect);

// Brings `db` from version `from` up to `to`, each step in a transaction of its own
// together with the new version number, so a step is either all there or not at all.
// The error of the step that failed, the database left at the last whole step.
QSqlError migrate(QSqlDatabase& db, const SqlDialect& dialect, int from, int to);

} // namespace kr90x::records
