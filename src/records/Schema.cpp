#include "records/Schema.h"

#include "core/Cylinders.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace kr90x::records {

QStringList migrationTo(int version, const SqlDialect& dialect) {
    switch (version) {
    case 1: {
        QString cylinders;
        for (std::size_t n = 1; n <= kCylinders; ++n) {
            cylinders += QStringLiteral("cylinder_%1 DOUBLE PRECISION, ").arg(n);
        }
        return {QStringLiteral("CREATE TABLE records ("
                               "id %1, "
                               "measured_at BIGINT NOT NULL, "
                               "test_function INTEGER NOT NULL, "
                               "function_name TEXT NOT NULL, "
                               "unit TEXT NOT NULL, "
                               "decimals INTEGER NOT NULL, "
                               "%2"
                               "sample_count INTEGER, "
                               "samples %3, "
                               "peak DOUBLE PRECISION, "
                               "last_value DOUBLE PRECISION, "
                               "firmware_version INTEGER NOT NULL, "
                               "program_version TEXT NOT NULL, "
                               "plate TEXT NOT NULL DEFAULT '', "
                               "vin TEXT NOT NULL DEFAULT '', "
                               "make_model TEXT NOT NULL DEFAULT '', "
                               "odometer TEXT NOT NULL DEFAULT '', "
                               "customer TEXT NOT NULL DEFAULT '', "
                               "technician TEXT NOT NULL DEFAULT '', "
                               "notes TEXT NOT NULL DEFAULT '')")
                    .arg(dialect.keyColumn(), cylinders, dialect.bytesType())};
    }
    case 2:
        // The records window lists newest first.
        return {QStringLiteral("CREATE INDEX records_by_time ON records (measured_at, id)")};
    default:
        return {};
    }
}

QSqlError migrate(QSqlDatabase& db, const SqlDialect& dialect, int from, int to) {
    for (int version = from + 1; version <= to; ++version) {
        if (!db.transaction()) {
            return db.lastError();
        }
        QSqlQuery q(db);
        QSqlError error;
        for (const QString& statement : migrationTo(version, dialect)) {
            if (!q.exec(statement)) {
                error = q.lastError();
                break;
            }
        }
        if (error.type() == QSqlError::NoError) {
            error = dialect.setSchemaVersion(db, version);
        }
        if (error.type() == QSqlError::NoError && !db.commit()) {
            error = db.lastError();
        }
        if (error.type() != QSqlError::NoError) {
            db.rollback();
            return error;
        }
    }
    return {};
}

} // namespace kr90x::records
