#include "records/RecordStore.h"

#include "core/Cylinders.h"
#include "records/RecordColumns.h"
#include "records/SampleBlob.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>

namespace kr90x::records {
namespace {

QVariant nullDouble() {
    return QVariant(QMetaType::fromType<double>());
}

// Qt binds a null text as SQL NULL; the text columns hold '' for "not given".
QString text(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

void bindVehicle(QSqlQuery& q, const VehicleDetails& v) {
    for (const QString* field :
         {&v.plate, &v.vin, &v.makeModel, &v.odometer, &v.customer, &v.technician, &v.notes}) {
        q.addBindValue(text(*field));
    }
}

VehicleDetails vehicleAt(const QSqlQuery& q, int first) {
    VehicleDetails v;
    int i = first;
    for (QString* text :
         {&v.plate, &v.vin, &v.makeModel, &v.odometer, &v.customer, &v.technician, &v.notes}) {
        *text = q.value(i++).toString();
    }
    return v;
}

QDateTime timeOf(const QVariant& msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch.toLongLong(), Qt::UTC);
}

// Stored numbers are read back as they are; a decimals count out of range is damage
// that must not reach the formatting.
int decimalsOf(const QVariant& v) {
    return std::clamp(v.toInt(), 0, kMaxDecimals);
}

} // namespace

RecordStore::RecordStore(Engine engine) : dialect_(engine) {
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
    const Fault f = dialect_.classify(error);
    return fail(f == Fault::None ? Fault::Other : f, error.text());
}

bool RecordStore::connect(bool readOnly) {
    db_ = QSqlDatabase::addDatabase(dialect_.driverName(), connectionName_);
    db_.setDatabaseName(path_);
    db_.setConnectOptions(dialect_.connectOptions(readOnly));
    if (!db_.open()) {
        const QSqlError error = db_.lastError();
        close();
        return fail(error.type() == QSqlError::NoError ? Fault::CannotOpen
                                                       : dialect_.classify(error),
                    error.text());
    }
    return true;
}

void RecordStore::close() {
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    mode_ = Mode::Closed;
}

bool RecordStore::open(const QString& path, int targetVersion) {
    close();
    path_ = path;
    newerSchema_ = false;
    fault_ = Fault::None;
    detail_.clear();
    if (dialect_.engine() == Engine::SQLite && !QDir().mkpath(QFileInfo(path).absolutePath())) {
        return fail(Fault::CannotOpen, QStringLiteral("no folder %1").arg(QFileInfo(path).path()));
    }
    if (!connect(false)) {
        return false;
    }
    // The version first, before anything is written: a newer database is not touched.
    const std::variant<int, QSqlError> read = dialect_.schemaVersion(db_);
    if (const QSqlError* error = std::get_if<QSqlError>(&read)) {
        const QSqlError e = *error; // close() ends the connection it came from
        close();
        return e.type() == QSqlError::NoError ? fail(Fault::Damaged, {}) : fail(e);
    }
    const int version = std::get<int>(read);
    if (version > kSchemaVersion) {
        close();
        if (!connect(true)) {
            return false;
        }
        newerSchema_ = true;
        mode_ = Mode::ReadOnly;
        return true;
    }
    QSqlQuery q(db_);
    for (const QString& statement : dialect_.writeSetup()) {
        if (!q.exec(statement)) {
            const QSqlError error = q.lastError();
            close();
            return fail(error);
        }
    }
    if (const QSqlError error = migrate(db_, dialect_, version, targetVersion);
        error.type() != QSqlError::NoError) {
        close();
        return fail(error);
    }
    mode_ = Mode::ReadWrite;
    return true;
}

bool RecordStore::requireWritable() {
    if (mode_ == Mode::ReadWrite) {
        return true;
    }
    return fail(mode_ == Mode::Closed ? Fault::CannotOpen : Fault::ReadOnly,
                newerSchema_ ? QStringLiteral("written by a newer version of the program")
                             : QString());
}

std::optional<RecordId> RecordStore::save(const Measurement& m) {
    if (!requireWritable()) {
        return std::nullopt;
    }
    QSqlQuery q(db_);
    // A statement that cannot be prepared says why (busy, damaged); binding to it would
    // only say that the parameters do not match.
    if (!q.prepare(QStringLiteral("INSERT INTO records (%1) VALUES (%2) RETURNING id")
                       .arg(columns::kRecord, columns::placeholders(columns::kVehicleFirst + 7)))) {
        fail(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(m.measuredAt.toMSecsSinceEpoch());
    q.addBindValue(m.function);
    q.addBindValue(text(m.functionName));
    q.addBindValue(text(m.unit));
    q.addBindValue(m.decimals);
    for (std::size_t n = 0; n < kCylinders; ++n) {
        q.addBindValue(m.cylinders ? QVariant((*m.cylinders)[n]) : nullDouble());
    }
    if (m.cylinders) {
        q.addBindValue(QVariant(QMetaType::fromType<int>()));
        q.addBindValue(QVariant(QMetaType::fromType<QByteArray>()));
        q.addBindValue(nullDouble());
        q.addBindValue(nullDouble());
    } else {
        const CurveFigures figures = curveFigures(m.samples);
        q.addBindValue(static_cast<int>(m.samples.size()));
        q.addBindValue(encodeSamples(m.samples, m.decimals));
        q.addBindValue(figures.peak);
        q.addBindValue(figures.last);
    }
    q.addBindValue(m.firmwareVersion);
    q.addBindValue(text(m.programVersion));
    bindVehicle(q, m.vehicle);

    if (!db_.transaction()) {
        fail(db_.lastError());
        return std::nullopt;
    }
    if (!q.exec() || !q.next()) {
        const QSqlError error = q.lastError();
        q.finish();
        db_.rollback();
        fail(error);
        return std::nullopt;
    }
    const RecordId id = q.value(0).toLongLong();
    q.finish(); // the statement must be done before its transaction can end
    if (!db_.commit()) {
        const QSqlError error = db_.lastError();
        db_.rollback();
        fail(error);
        return std::nullopt;
    }
    return id;
}

bool RecordStore::updateVehicle(RecordId id, const VehicleDetails& vehicle) {
    if (!requireWritable()) {
        return false;
    }
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("UPDATE records SET plate = ?, vin = ?, make_model = ?, "
                                  "odometer = ?, customer = ?, technician = ?, notes = ? "
                                  "WHERE id = ?"))) {
        return fail(q.lastError());
    }
    bindVehicle(q, vehicle);
    q.addBindValue(id);
    if (!q.exec()) {
        return fail(q.lastError());
    }
    // Another program sharing the file may have deleted it: the details went nowhere.
    return q.numRowsAffected() > 0 || fail(Fault::Gone, QStringLiteral("record %1").arg(id));
}

bool RecordStore::remove(std::span<const RecordId> ids) {
    if (!requireWritable()) {
        return false;
    }
    if (!db_.transaction()) {
        return fail(db_.lastError());
    }
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("DELETE FROM records WHERE id = ?"))) {
        const QSqlError error = q.lastError();
        db_.rollback();
        return fail(error);
    }
    for (RecordId id : ids) {
        q.addBindValue(id);
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            db_.rollback();
            return fail(error);
        }
    }
    if (!db_.commit()) {
        const QSqlError error = db_.lastError();
        db_.rollback();
        return fail(error);
    }
    return true;
}

std::optional<std::vector<RecordSummary>> RecordStore::list() {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("SELECT id, measured_at, test_function, %1, "
                           "decimals, cylinder_1, cylinder_2, cylinder_3, cylinder_4, "
                           "cylinder_5, cylinder_6, peak, last_value, %2 FROM records "
                           "ORDER BY measured_at DESC, id DESC")
                .arg(columns::bounded(QStringLiteral("function_name, unit"), columns::kMaxListText),
                     columns::bounded(columns::kVehicle, columns::kMaxListText)))) {
        fail(q.lastError());
        return std::nullopt;
    }
    std::vector<RecordSummary> rows;
    while (q.next()) {
        RecordSummary r;
        r.id = q.value(0).toLongLong();
        r.measuredAt = timeOf(q.value(1));
        r.function = q.value(2).toInt();
        r.functionName = q.value(3).toString();
        r.unit = q.value(4).toString();
        r.decimals = decimalsOf(q.value(5));
        r.compression = !q.value(6).isNull();
        if (r.compression) {
            CylinderValues cylinders{};
            for (std::size_t n = 0; n < kCylinders; ++n) {
                cylinders[n] = q.value(6 + static_cast<int>(n)).toDouble();
            }
            const CompressionSpread s = compressionSpread(cylinders);
            r.first = s.lowest;
            r.second = s.highest;
            r.spreadPercent = s.spreadPercent;
        } else {
            r.first = q.value(12).toDouble();
            r.second = q.value(13).toDouble();
        }
        r.vehicle = vehicleAt(q, 14);
        rows.push_back(std::move(r));
    }
    return rows;
}

std::optional<Measurement> RecordStore::load(RecordId id) {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM records WHERE id = ?")
                       .arg(columns::bounded(columns::kRecord, columns::kMaxRecordText)))) {
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
    Measurement m;
    m.measuredAt = timeOf(q.value(0));
    m.function = q.value(1).toInt();
    m.functionName = q.value(2).toString();
    m.unit = q.value(3).toString();
    m.decimals = decimalsOf(q.value(4));
    if (!q.value(columns::kCylinder).isNull()) {
        CylinderValues cylinders{};
        for (std::size_t n = 0; n < kCylinders; ++n) {
            cylinders[n] = q.value(columns::kCylinder + static_cast<int>(n)).toDouble();
        }
        m.cylinders = cylinders;
    } else {
        std::optional<std::vector<double>> samples =
            decodeSamples(q.value(columns::kSamples).toByteArray());
        if (!samples) {
            fail(Fault::Damaged, QStringLiteral("the samples of record %1").arg(id));
            return std::nullopt;
        }
        m.samples = std::move(*samples);
    }
    m.firmwareVersion = q.value(15).toInt();
    m.programVersion = q.value(16).toString();
    m.vehicle = vehicleAt(q, columns::kVehicleFirst);
    return m;
}

} // namespace kr90x::records
