#pragma once

#include <QSqlError>
#include <QString>
#include <QStringList>

#include <variant>

class QSqlDatabase;

namespace kr90x::records {

// Everything the records' SQL says differently on the two engines it is written for:
// SQLite, embedded, the default; PostgreSQL (Qt's QPSQL driver), for a workshop whose PCs
// share one records server. All other SQL of the records is plain SQL both accept.
enum class Engine { SQLite, PostgreSQL };

// What went wrong, in the terms a message to the mechanic needs.
// Gone: the record asked for is not there (any more). Unreachable: the records server
// cannot be reached, or refused the connection. Permission: the server's role may not do
// what was asked.
enum class Fault {
    None,
    Busy,
    Full,
    ReadOnly,
    Damaged,
    CannotOpen,
    Gone,
    Unreachable,
    Permission,
    Other
};

struct StoreLocation;

class SqlDialect {
public:
    explicit SqlDialect(Engine engine) : engine_(engine) {}

    Engine engine() const { return engine_; }
    QString driverName() const;
    // Qt's connect options: a short wait for another program's write, and read-only
    // where asked; on a server, how long to try to reach it and its TLS settings.
    QString connectOptions(const StoreLocation& location, bool readOnly) const;
    // Statements for each new connection: on a server, the bounds of every wait on it, and
    // the schema the records live in.
    QStringList sessionSetup(const StoreLocation& location) const;
    // Column types: a generated whole-number key, and bytes.
    QString keyColumn() const;
    // A key given by the row it belongs to.
    QString rowKeyColumn() const;
    QString bytesType() const;
    // Opens a transaction that holds the right to write from its first statement on, so
    // that what it reads stays true until it commits (migrations).
    QStringList beginExclusive() const;
    // Opens a save's transaction, taking the right to write at once.
    QString beginWrite() const;
    // Undoes what beginExclusive set for the connection, once the transaction is over.
    QStringList afterExclusive() const;
    // Tables that are not ours in a database of version 0: a file of another program.
    std::variant<QStringList, QSqlError> tables(QSqlDatabase& db) const;
    // Statements that set up each new connection for writing (SQLite: write-ahead log,
    // every commit on disk before it is reported).
    QStringList writeSetup() const;
    // The schema version the database carries, or why it cannot be read (an error of type
    // NoError: the database answered, but with no version, or one below 0).
    std::variant<int, QSqlError> schemaVersion(QSqlDatabase& db) const;
    // Inside the migration's transaction, so the version moves with the schema.
    QSqlError setSchemaVersion(QSqlDatabase& db, int version) const;
    Fault classify(const QSqlError& error) const;
    // What the database said, on one line: a server's own words, without Qt's.
    QString words(const QSqlError& error) const;
    // The error came from a connection that is broken (a server restarted or gone): a new
    // connection may succeed where this one cannot.
    bool connectionLost(const QSqlError& error) const;

private:
    Engine engine_;
};

} // namespace kr90x::records
