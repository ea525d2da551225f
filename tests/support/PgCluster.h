#pragma once

#include "records/StoreLocation.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace kr90x::test {

// A private PostgreSQL server for one test: initdb into a temporary folder, its socket in
// that folder, a free port on localhost, stopped and removed at the end. Run as the
// postgres user when the tests run as root (initdb and postgres refuse root). Roles that
// tests make log in over TCP with a password; the superuser over the socket without.
class PgCluster {
public:
    struct Options {
        // A folder of make_test_certs.sh: the server presents good.pem (for "localhost"),
        // and TCP connections must use TLS.
        QString certs;
    };

    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // Empty when started; else what went wrong.
    QString start(const Options& options = {});
    // Started as a workshop's administrator leaves it (README): database "workshop", role
    // "orvo" with password "pw" and the one grant. Empty when done; else what went wrong.
    QString startWorkshop(const Options& options = {});
    // Where a PC of that workshop keeps its records.
    records::StoreLocation workshop() const;
    // That PC's records.conf in `configHome` (an XDG_CONFIG_HOME), private to its user.
    bool writeWorkshopConf(const QString& configHome) const;
    // pg_ctl stop -m fast: every connection is cut, as a server restart does; immediate:
    // as a server that crashed or lost its power, in the middle of any transaction.
    enum class Stop { Fast, Immediate };
    bool stop(Stop how = Stop::Fast);
    // The same server again, on the same port.
    bool startAgain();
    bool running() const { return running_; }
    int port() const { return port_; }
    // Where the superuser connects without a password.
    QString socketFolder() const { return dir_ ? dir_->path() : QString(); }

    // Runs SQL as the superuser in `database`; the output lines (psql -At), or none when it
    // failed (the error in lastError()).
    std::optional<QStringList> sql(const QString& statements,
                                   const QString& database = QStringLiteral("postgres"));
    QString lastError() const { return error_; }

    // A database owned by the superuser, and a login role with `password` that may connect
    // to it: what a workshop's administrator sets up, before the grant.
    bool makeDatabase(const QString& database);
    bool makeRole(const QString& role, const QString& password);
    // Where a PC's records.conf would point: this server over TCP, as `role`.
    records::StoreLocation location(const QString& database, const QString& role,
                                    const QString& password) const;

private:
    QStringList asServerUser(const QString& program, const QStringList& args) const;
    bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr);

    std::unique_ptr<QTemporaryDir> dir_;
    QString data_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};

} // namespace kr90x::test
