#include "records/RecordStore.h"

#include "core/Cylinders.h"
#include "records/PrivateFile.h"
#include "records/RecordColumns.h"
#include "records/RecordRow.h"
#include "records/SampleBlob.h"
#include "records/SearchText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <atomic>

namespace kr90x::records {
namespace {

void bindVehicle(QSqlQuery& q, const VehicleDetails& v) {
    for (const VehicleField& f : kVehicleFields) {
        q.addBindValue(storedText(v.*f.member));
    }
}

QDateTime timeOf(const QVariant& msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch.toLongLong(), Qt::UTC);
}

} // namespace

RecordStore::RecordStore(Engine engine) : dialect_(engine) {
    location_.engine = engine;
    static std::atomic<int> next{0};
    connectionName_ = QStringLiteral("kr90x-records-%1").arg(next++);
}

RecordStore::~RecordStore() {
    close();
}

QString RecordStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/orvo-kr90x/records.sqlite");
}

QString RecordStore::lastError() const {
    QString what;
    switch (fault_) {
    case Fault::None:
        return {};
    case Fault::Busy:
        what = QStringLiteral("the records database is in use by another program");
        break;
    case Fault::Full:
        what = QStringLiteral("the disk is full");
        break;
    case Fault::ReadOnly:
        what = QStringLiteral("the records database cannot be written to");
        break;
    case Fault::Damaged:
        what = QStringLiteral("the records database is damaged");
        break;
    case Fault::CannotOpen:
        what = QStringLiteral("the records database cannot be opened");
        break;
    case Fault::Gone:
        what = QStringLiteral("the record is no longer in the records database");
        break;
    case Fault::Unreachable:
        what = QStringLiteral("the records server cannot be reached or refused the connection");
        break;
    case Fault::Permission:
        what = dialect_.engine() == Engine::PostgreSQL && !location_.schema.isEmpty()
                   ? QStringLiteral("the records server's role may not do this in schema %1")
                         .arg(location_.schema)
                   : QStringLiteral("the records server's role may not do this; it needs its "
                                    "own schema or CREATE on schema public");
        break;
    case Fault::Other:
        what = QStringLiteral("the records database reported an error");
        break;
    }
    return detail_.isEmpty() ? what : what + QStringLiteral(" (") + detail_ + QLatin1Char(')');
}

bool RecordStore::fail(Fault fault, const QString& detail) {
    fault_ = fault;
    detail_ = detail;
    return false;
}

bool RecordStore::fail(const QSqlError& error) {
    // Qt's PostgreSQL driver tells a statement on a connection that broke while it was
    // idle (the server restarted while a records window listened) as no error at all.
    // A connection libpq found broken is closed, whatever the error says (one the store
    // closed itself is no longer valid).
    if (dialect_.engine() == Engine::PostgreSQL &&
        (error.type() == QSqlError::NoError || (db_.isValid() && !db_.isOpen()))) {
        lost_ = true;
        return fail(Fault::Unreachable, error.type() == QSqlError::NoError
                                            ? QStringLiteral("the connection to the server "
                                                             "was lost")
                                            : dialect_.words(error));
    }
    const Fault f = dialect_.classify(error);
    lost_ = dialect_.connectionLost(error);
    return fail(f == Fault::None ? Fault::Other : f, dialect_.words(error));
}

bool RecordStore::requireWritable() {
    if (mode_ == Mode::ReadWrite) {
        return true;
    }
    return fail(mode_ == Mode::Closed ? Fault::CannotOpen : Fault::ReadOnly,
                newerSchema_ ? QStringLiteral("written by a newer version of the program")
                             : QString());
}

std::optional<RecordId> RecordStore::saveOnce(const Measurement& m) {
    if (!requireWritable()) {
        return std::nullopt;
    }
    if (!beginWrite()) {
        return std::nullopt;
    }
    const std::optional<RecordId> id = insert(m);
    if (!id || !tellChange() || !commit()) {
        rollback();
        return std::nullopt;
    }
    return id;
}

// The write lock from the first statement on, waited for as long as the busy time-out
// says: a transaction that read first and wrote then could be refused at once, without
// waiting, when another program had written in between.
bool RecordStore::beginWrite() {
    QSqlQuery q(db_);
    return q.exec(dialect_.beginWrite()) || fail(q.lastError());
}

bool RecordStore::commit() {
    QSqlQuery q(db_);
    return q.exec(QStringLiteral("COMMIT")) || fail(q.lastError());
}

void RecordStore::rollback() {
    QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
}

// Inside the caller's transaction. A result whose uid is there already was kept by an
// earlier try: its record is the one.
std::optional<RecordId> RecordStore::insert(const Measurement& m) {
    QSqlQuery q(db_);
    // A statement that cannot be prepared says why (busy, damaged); binding to it would
    // only say that the parameters do not match.
    if (!q.prepare(QStringLiteral("INSERT INTO records (%1) VALUES (%2) ON CONFLICT (uid) DO "
                                  "NOTHING RETURNING id")
                       .arg(columns::names(), columns::placeholders(kColumnCount)))) {
        fail(q.lastError());
        return std::nullopt;
    }
    bindRecord(q, m);
    if (!q.exec()) {
        fail(q.lastError());
        return std::nullopt;
    }
    if (!q.next()) {
        q.finish();
        return idOfOnce(m.uid);
    }
    const RecordId id = q.value(0).toLongLong();
    q.finish(); // the statement must be done before its transaction can end
    if (!m.cylinders) {
        QSqlQuery s(db_);
        if (!s.prepare(QStringLiteral("INSERT INTO record_samples (record_id, samples) "
                                      "VALUES (?, ?)"))) {
            fail(s.lastError());
            return std::nullopt;
        }
        s.addBindValue(id);
        s.addBindValue(encodeSamples(m.samples, m.decimals));
        if (!s.exec()) {
            fail(s.lastError());
            return std::nullopt;
        }
    }
    return id;
}

std::optional<RecordId> RecordStore::idOfOnce(const QString& uid) {
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("SELECT id FROM records WHERE uid = ?"))) {
        fail(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(uid);
    if (!q.exec()) {
        fail(q.lastError());
        return std::nullopt;
    }
    if (uid.isEmpty() || !q.next()) {
        fail(Fault::Gone, QStringLiteral("result %1").arg(uid));
        return std::nullopt;
    }
    const RecordId id = q.value(0).toLongLong();
    q.finish();
    return id;
}

// In one transaction with its notice to the PCs watching: a notice that cannot be given
// takes the details back, rather than have them kept and reported not kept.
bool RecordStore::updateVehicleOnce(RecordId id, const VehicleDetails& vehicle) {
    if (!requireWritable() || !beginWrite()) {
        return false;
    }
    if (!writeVehicle(id, vehicle) || !tellChange() || !commit()) {
        rollback();
        return false;
    }
    return true;
}

bool RecordStore::writeVehicle(RecordId id, const VehicleDetails& vehicle) {
    // The search text goes with the details: it is made from the row's date and function.
    QSqlQuery row(db_);
    if (!row.prepare(QStringLiteral("SELECT measured_at, function_name, virtual_tester FROM "
                                    "records WHERE id = ?"))) {
        return fail(row.lastError());
    }
    row.addBindValue(id);
    if (!row.exec()) {
        return fail(row.lastError());
    }
    // Another program sharing the file may have deleted it: the details went nowhere.
    if (!row.next()) {
        return fail(Fault::Gone, QStringLiteral("record %1").arg(id));
    }
    const QString search = searchText(timeOf(row.value(0)), row.value(1).toString(), vehicle,
                                      row.value(2).toInt() != 0);
    row.finish();
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("UPDATE records SET (%1, search_text) = (%2) WHERE id = ?")
                       .arg(columns::names(Col::Plate, Col::Notes),
                            columns::placeholders(int(kVehicleFields.size()) + 1)))) {
        return fail(q.lastError());
    }
    bindVehicle(q, vehicle);
    q.addBindValue(storedText(search));
    q.addBindValue(id);
    if (!q.exec()) {
        return fail(q.lastError());
    }
    return q.numRowsAffected() > 0 || fail(Fault::Gone, QStringLiteral("record %1").arg(id));
}

bool RecordStore::removeOnce(std::span<const RecordId> ids) {
    if (!requireWritable()) {
        return false;
    }
    if (!beginWrite()) {
        return false;
    }
    for (const char* statement :
         {"DELETE FROM record_samples WHERE record_id = ?", "DELETE FROM records WHERE id = ?"}) {
        QSqlQuery q(db_);
        if (!q.prepare(QLatin1String(statement))) {
            const QSqlError error = q.lastError();
            rollback();
            return fail(error);
        }
        for (RecordId id : ids) {
            q.addBindValue(id);
            if (!q.exec()) {
                const QSqlError error = q.lastError();
                rollback();
                return fail(error);
            }
        }
    }
    if (!tellChange() || !commit()) {
        rollback();
        return false;
    }
    return true;
}

std::optional<Measurement> RecordStore::loadOnce(RecordId id) {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("SELECT id, %1 FROM records WHERE id = ?")
                       .arg(columns::bounded(columns::kMaxRecordText)))) {
        fail(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(id);
    if (!q.exec()) {
        fail(q.lastError());
        return std::nullopt;
    }
    if (!q.next()) {
        fail(Fault::Gone, QStringLiteral("record %1").arg(id));
        return std::nullopt;
    }
    Measurement m = measurementAt(q, 1);
    if (m.cylinders) {
        return m;
    }
    q.finish();
    std::optional<std::vector<double>> samples = loadSamples(id);
    if (!samples) {
        return std::nullopt;
    }
    m.samples = std::move(*samples);
    return m;
}

std::optional<std::vector<double>> RecordStore::loadSamples(RecordId id) {
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM record_samples WHERE record_id = ?")
                       .arg(columns::boundedSamples()))) {
        fail(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(id);
    if (!q.exec()) {
        fail(q.lastError());
        return std::nullopt;
    }
    std::optional<std::vector<double>> samples =
        q.next() ? decodeSamples(q.value(0).toByteArray()) : std::nullopt;
    if (!samples) {
        fail(Fault::Damaged, QStringLiteral("the samples of record %1").arg(id));
    }
    return samples;
}

} // namespace kr90x::records
