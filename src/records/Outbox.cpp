#include "records/Outbox.h"

#include "records/PrivateFile.h"
#include "records/RecordColumns.h"
#include "records/RecordRow.h"
#include "records/SampleBlob.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace kr90x::records {

Outbox::Outbox() {
    static std::atomic<int> next{0};
    connectionName_ = QStringLiteral("kr90x-outbox-%1").arg(next++);
}

Outbox::~Outbox() {
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

QString Outbox::pathBeside(const QString& recordsPath) {
    return QFileInfo(recordsPath).absolutePath() + QStringLiteral("/outbox.sqlite");
}

bool Outbox::fail(const QString& error) {
    error_ = error;
    return false;
}

bool Outbox::open(const QString& path) {
    if (!makePrivateFile(path)) {
        return fail(QStringLiteral("no folder for ") + path);
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db_.open()) {
        return fail(db_.lastError().text());
    }
    QSqlQuery q(db_);
    // FULL: a result reported waiting is on disk, even when the power goes next.
    for (const QString& statement :
         {QStringLiteral("PRAGMA synchronous=FULL"),
          QStringLiteral("CREATE TABLE IF NOT EXISTS waiting (seq INTEGER PRIMARY KEY "
                         "AUTOINCREMENT, %1, samples BLOB, UNIQUE (uid))")
              .arg(columns::names())}) {
        if (!q.exec(statement)) {
            const QString error = q.lastError().text();
            db_.close();
            return fail(error);
        }
    }
    return true;
}

bool Outbox::add(const Measurement& m) {
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("INSERT INTO waiting (%1, samples) VALUES (%2, ?) "
                                  "ON CONFLICT (uid) DO NOTHING")
                       .arg(columns::names(), columns::placeholders(kColumnCount)))) {
        return fail(q.lastError().text());
    }
    bindRecord(q, m);
    q.addBindValue(m.cylinders ? QVariant(QMetaType::fromType<QByteArray>())
                               : QVariant(encodeSamples(m.samples, m.decimals)));
    return q.exec() || fail(q.lastError().text());
}

std::optional<std::vector<Outbox::Waiting>> Outbox::oldest(int max) {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT seq, %1, %2 FROM waiting ORDER BY seq LIMIT %3")
                    .arg(columns::bounded(columns::kMaxRecordText), columns::boundedSamples())
                    .arg(max))) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    std::vector<Waiting> out;
    while (q.next()) {
        Waiting w{q.value(0).toLongLong(), measurementAt(q, 1), false};
        if (!w.measurement.cylinders) {
            std::optional<std::vector<double>> samples =
                decodeSamples(q.value(1 + kReadColumnCount).toByteArray());
            w.damaged = !samples;
            w.measurement.samples = std::move(samples).value_or(std::vector<double>{});
        }
        out.push_back(std::move(w));
    }
    return out;
}

bool Outbox::remove(qint64 seq) {
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("DELETE FROM waiting WHERE seq = ?"))) {
        return fail(q.lastError().text());
    }
    q.addBindValue(seq);
    return q.exec() || fail(q.lastError().text());
}

bool Outbox::updateVehicle(const QString& uid, const VehicleDetails& vehicle) {
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("UPDATE waiting SET (%1) = (%2) WHERE uid = ?")
                       .arg(columns::names(Col::Plate, Col::Notes),
                            columns::placeholders(int(kVehicleFields.size()))))) {
        return fail(q.lastError().text());
    }
    for (const VehicleField& f : kVehicleFields) {
        const QString& v = vehicle.*f.member;
        q.addBindValue(v.isNull() ? QStringLiteral("") : v);
    }
    q.addBindValue(uid);
    if (!q.exec()) {
        return fail(q.lastError().text());
    }
    return q.numRowsAffected() > 0;
}

std::optional<int> Outbox::count() {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM waiting")) || !q.next()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

} // namespace kr90x::records
