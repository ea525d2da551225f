#include "records/Schema.h"

#include "core/Cylinders.h"
#include "records/RecordColumns.h"
#include "records/SearchText.h"

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
    case 3:
        // A curve's samples stood inside its row, before the vehicle's details: listing
        // records read through every curve. They move to a table of their own. Each result
        // gets the id it was given where it was measured (a retry never saves it twice),
        // and whether a virtual tester measured it.
        return {QStringLiteral("CREATE TABLE record_samples (record_id %1, samples %2 NOT NULL)")
                    .arg(dialect.rowKeyColumn(), dialect.bytesType()),
                QStringLiteral("INSERT INTO record_samples (record_id, samples) "
                               "SELECT id, samples FROM records WHERE samples IS NOT NULL"),
                QStringLiteral("ALTER TABLE records DROP COLUMN samples"),
                QStringLiteral(
                    "ALTER TABLE records ADD COLUMN virtual_tester INTEGER NOT NULL DEFAULT 0"),
                QStringLiteral("ALTER TABLE records ADD COLUMN uid TEXT"),
                QStringLiteral("CREATE UNIQUE INDEX records_by_uid ON records (uid)")};
    case 4:
        // The search runs in SQL; its text is folded in C++, below.
        return {
            QStringLiteral("ALTER TABLE records ADD COLUMN search_text TEXT NOT NULL DEFAULT ''")};
    default:
        return {};
    }
}

namespace {

// What a step needs beside its statements, in the same transaction.
QSqlError completeStep(int version, QSqlDatabase& db) {
    if (version != 4) {
        return {};
    }
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT id, measured_at, function_name, %1, virtual_tester "
                                  "FROM records")
                       .arg(columns::names(Col::Plate, Col::Notes)))) {
        return rows.lastError();
    }
    QSqlQuery update(db);
    if (!update.prepare(QStringLiteral("UPDATE records SET search_text = ? WHERE id = ?"))) {
        return update.lastError();
    }
    while (rows.next()) {
        VehicleDetails v;
        for (const VehicleField& f : kVehicleFields) {
            v.*f.member = rows.value(3 + at(f.col) - at(Col::Plate)).toString();
        }
        const QDateTime measuredAt =
            QDateTime::fromMSecsSinceEpoch(rows.value(1).toLongLong(), Qt::UTC);
        update.addBindValue(searchText(measuredAt, rows.value(2).toString(), v,
                                       rows.value(3 + int(kVehicleFields.size())).toInt() != 0));
        update.addBindValue(rows.value(0));
        if (!update.exec()) {
            return update.lastError();
        }
    }
    return {};
}

} // namespace

std::variant<int, QSqlError> migrate(QSqlDatabase& db, const SqlDialect& dialect, int to) {
    QSqlQuery q(db);
    struct Restore {
        QSqlDatabase& db;
        const SqlDialect& dialect;
        ~Restore() {
            for (const QString& statement : dialect.afterExclusive()) {
                QSqlQuery(db).exec(statement);
            }
        }
    } restore{db, dialect};
    for (const QString& statement : dialect.beginExclusive()) {
        if (!q.exec(statement)) {
            return q.lastError();
        }
    }
    auto fail = [&](QSqlError error) -> std::variant<int, QSqlError> {
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return error;
    };
    const std::variant<int, QSqlError> found = dialect.schemaVersion(db);
    if (const QSqlError* error = std::get_if<QSqlError>(&found)) {
        return fail(*error);
    }
    const int version = std::get<int>(found);
    if (version >= to) {
        q.finish();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return version;
    }
    for (int step = version + 1; step <= to; ++step) {
        for (const QString& statement : migrationTo(step, dialect)) {
            if (!q.exec(statement)) {
                return fail(q.lastError());
            }
        }
        if (QSqlError error = completeStep(step, db); error.type() != QSqlError::NoError) {
            return fail(error);
        }
    }
    if (QSqlError error = dialect.setSchemaVersion(db, to); error.type() != QSqlError::NoError) {
        return fail(error);
    }
    q.finish();
    if (!q.exec(QStringLiteral("COMMIT"))) {
        return fail(q.lastError());
    }
    return to;
}

} // namespace kr90x::records
