#pragma once

#include "records/SqlDialect.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace kr90x::records {

// Where the workshop records are: a SQLite file of this PC (the default), or a PostgreSQL
// server every PC of the workshop shares. Read from records.conf, an INI layout:
//
//   [Records]
//   Engine=sqlite | postgresql
//   ; a host name, or a socket folder
//   Host=records.workshop.lan
//   Port=5432
//   Database=workshop
//   User=orvo
//   ; or libpq's PassFile, or a Service of its service file
//   Password=secret
//   PassFile=/home/bay1/.pgpass
//   Service=workshop
//   SslMode=disable | allow | prefer | require | verify-ca | verify-full
//   SslRootCert=/etc/orvo-kr90x/records-ca.pem
//   ; the role's own schema when not given, else public
//   Schema=orvo
//   ; SQLite only: another file than the default
//   File=/path/to/records.sqlite
//
// Each key given overrides the layer below; unknown keys are passed over.
struct StoreLocation {
    Engine engine = Engine::SQLite;
    QString path; // SQLite: the file
    QString host;
    int port = 0; // 0: libpq's default
    QString database;
    QString user;
    QString password;
    QString passFile;
    QString service;
    QString sslMode;
    QString sslRootCert;
    QString schema;
    // Where results wait while the records cannot take them: always a file of this PC.
    QString outboxPath;
    // What the settings files got wrong, or left readable by all; each a log line.
    QStringList warnings;

    // The records file at `path`, its outbox beside it.
    static StoreLocation sqliteFile(const QString& path);
    // Where the log and the messages say the records are, without a password.
    QString describe() const;
};

// /etc/orvo-kr90x/records.conf, then $XDG_CONFIG_HOME/orvo-kr90x/records.conf.
QStringList recordsConfigFiles();
// The keys of one file's text over `location`. Returns whether it holds a password.
bool applyRecordsConfig(StoreLocation& location, QByteArrayView text);
// The records the settings files name; the default file when none does.
StoreLocation configuredStoreLocation(const QStringList& files = recordsConfigFiles());

} // namespace kr90x::records
