#pragma once

#include "records/SqlDialect.h"

#include <QSqlError>
#include <QStringList>

#include <variant>

class QSqlDatabase;

namespace kr90x::records {

// The schema version this program writes. Every older version is brought up to it, step
// by step; a newer one is left as it is and read only.
inline constexpr int kSchemaVersion = 4;

// The statements that take a database from version `version` - 1 to `version`.
QStringList migrationTo(int version, const SqlDialect& dialect);

// Brings `db` up to version `to` in one transaction that holds the write lock from its
// start, with the version read again inside it: of two programs opening the same file at
// once, the second finds the work done. The version found (it may be newer than `to`,
// written meanwhile by a newer program, and is then left alone), or the error of the
// step that failed, with the database left as it was.
std::variant<int, QSqlError> migrate(QSqlDatabase& db, const SqlDialect& dialect, int to);

} // namespace kr90x::records
