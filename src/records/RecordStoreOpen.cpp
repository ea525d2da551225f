// Opening the records store: everything is checked before anything is written, then the
// file is set up for writing and brought up to date.
#include "records/PrivateFile.h"
#include "records/RecordStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QThread>

namespace kr90x::records {
namespace {

// How long opening waits for another program switching the file to its write-ahead log.
constexpr qint64 kSetupWaitMs = 10000;

} // namespace

bool RecordStore::connect(bool readOnly) {
    db_ = QSqlDatabase::addDatabase(dialect_.driverName(), connectionName_);
    if (dialect_.engine() == Engine::SQLite) {
        db_.setDatabaseName(path_);
    } else {
        db_.setHostName(location_.host);
        db_.setPort(location_.port > 0 ? location_.port : -1);
        db_.setDatabaseName(location_.database);
        db_.setUserName(location_.user);
        db_.setPassword(location_.password);
    }
    db_.setConnectOptions(dialect_.connectOptions(location_, readOnly));
    if (!db_.open()) {
        const QSqlError error = db_.lastError();
        close();
        if (!QSqlDatabase::isDriverAvailable(dialect_.driverName())) {
            return fail(
                Fault::CannotOpen,
                QStringLiteral("Qt's %1 driver is not installed").arg(dialect_.driverName()));
        }
        return fail(error.type() == QSqlError::NoError ? Fault::CannotOpen
                                                       : dialect_.classify(error),
                    dialect_.words(error).trimmed());
    }
    QSqlQuery q(db_);
    for (const QString& statement : dialect_.sessionSetup(location_)) {
        if (!q.exec(statement)) {
            const QSqlError error = q.lastError();
            close();
            return fail(error);
        }
    }
    subscribe();
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
    return open(StoreLocation::sqliteFile(path), targetVersion);
}

bool RecordStore::open(const StoreLocation& location, int targetVersion) {
    close();
    // A server away now may be back at the next use; a file is opened again by its owner.
    dropped_ = location.engine == Engine::PostgreSQL;
    location_ = location;
    dialect_ = SqlDialect(location.engine);
    path_ = location.engine == Engine::SQLite ? location.path : location.describe();
    newerSchema_ = false;
    fault_ = Fault::None;
    detail_.clear();
    if (dialect_.engine() == Engine::SQLite && !makePrivateFile(path_)) {
        return fail(Fault::CannotOpen, QStringLiteral("no folder %1").arg(QFileInfo(path_).path()));
    }
    if (!connect(false)) {
        return false;
    }
    // Everything is checked before anything is written: a newer database, a damaged one
    // or one of another program is left exactly as it was.
    const std::variant<int, QSqlError> read = dialect_.schemaVersion(db_);
    if (const QSqlError* error = std::get_if<QSqlError>(&read)) {
        const QSqlError e = *error; // close() ends the connection it came from
        close();
        return e.type() == QSqlError::NoError ? fail(Fault::Damaged, {}) : fail(e);
    }
    int version = std::get<int>(read);
    if (version > kSchemaVersion) {
        return openNewer();
    }
    if (!checkTables(version)) {
        return false;
    }
    if (version > kSchemaVersion) {
        return openNewer();
    }
    QSqlQuery q(db_);
    for (const QString& statement : dialect_.writeSetup()) {
        // Switching a file to its write-ahead log takes it whole for a moment: another
        // program doing the same, or migrating, is waited for, a bounded time. SQLite
        // answers such a moment at once, without waiting by itself.
        QElapsedTimer waited;
        waited.start();
        while (!q.exec(statement)) {
            const QSqlError error = q.lastError();
            if (dialect_.classify(error) != Fault::Busy || waited.elapsed() > kSetupWaitMs) {
                close();
                return fail(error);
            }
            QThread::msleep(10);
        }
    }
    // Up to date already: nothing to lock. Otherwise the migration reads the version again
    // under the write lock, and waits for another program doing the same.
    const std::variant<int, QSqlError> migrated = version >= targetVersion
                                                      ? std::variant<int, QSqlError>(version)
                                                      : migrate(db_, dialect_, targetVersion);
    if (const QSqlError* error = std::get_if<QSqlError>(&migrated)) {
        const QSqlError e = *error;
        close();
        return fail(e);
    }
    // Another, newer program brought it further meanwhile.
    if (std::get<int>(migrated) > kSchemaVersion) {
        return openNewer();
    }
    mode_ = Mode::ReadWrite;
    return true;
}

bool RecordStore::openNewer() {
    close();
    if (!connect(true)) {
        return false;
    }
    newerSchema_ = true;
    mode_ = Mode::ReadOnly;
    return true;
}

// A database without a version is ours only when it is empty; one with a version must
// hold the records.
bool RecordStore::checkTables(int& version) {
    const std::variant<QStringList, QSqlError> found = dialect_.tables(db_);
    if (const QSqlError* error = std::get_if<QSqlError>(&found)) {
        const QSqlError e = *error;
        close();
        return fail(e);
    }
    const QStringList& tables = std::get<QStringList>(found);
    // Another program may have made the schema between the two reads: its version says so.
    if (version == 0 && tables.contains(QStringLiteral("records"))) {
        const std::variant<int, QSqlError> again = dialect_.schemaVersion(db_);
        version = std::holds_alternative<int>(again) ? std::get<int>(again) : 0;
    }
    if (version == 0 && !tables.isEmpty()) {
        close();
        return fail(Fault::Damaged, QStringLiteral("it holds the tables of another program: ") +
                                        tables.join(QStringLiteral(", ")));
    }
    if (version > 0 && !tables.contains(QStringLiteral("records"))) {
        close();
        return fail(Fault::Damaged, QStringLiteral("no records table"));
    }
    return true;
}

} // namespace kr90x::records
