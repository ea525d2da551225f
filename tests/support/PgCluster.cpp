#include "PgCluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>

#include <unistd.h>

namespace kr90x::test {
namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
constexpr int kStepMs = 60000;

int freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

bool asRoot() {
    return ::geteuid() == 0;
}

} // namespace

PgCluster::PgCluster() = default;

PgCluster::~PgCluster() {
    if (running_) {
        stop();
    }
}

QStringList PgCluster::asServerUser(const QString& program, const QStringList& args) const {
    if (!asRoot()) {
        return QStringList{program} + args;
    }
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                       QStringLiteral("--"), program} +
           args;
}

bool PgCluster::run(const QString& program, const QStringList& args, QByteArray* out) {
    const QStringList command = asServerUser(program, args);
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    p.start(command.front(), command.mid(1));
    if (!p.waitForFinished(kStepMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        error_ = QStringLiteral("%1: %2 %3")
                     .arg(command.join(QLatin1Char(' ')),
                          QString::fromUtf8(p.readAllStandardError()).trimmed(),
                          QString::fromUtf8(p.readAllStandardOutput()).trimmed());
        return false;
    }
    if (out) {
        *out = p.readAllStandardOutput();
    }
    return true;
}

QString PgCluster::start(const Options& options) {
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid()) {
        return QStringLiteral("no temporary folder");
    }
    if (asRoot() && QProcess::execute(QStringLiteral("chown"),
                                      {QStringLiteral("postgres:"), dir_->path()}) != 0) {
        return QStringLiteral("chown of the temporary folder failed");
    }
    data_ = dir_->filePath(QStringLiteral("data"));
    port_ = freePort();
    if (!run(kBin + QStringLiteral("initdb"),
             {QStringLiteral("-D"), data_, QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-A"),
              QStringLiteral("scram-sha-256"), QStringLiteral("--auth-local=trust")})) {
        return error_;
    }
    // The address the free port was found on, alone: "localhost" would be ::1 too.
    QString conf = QStringLiteral("port = %1\nlisten_addresses = '127.0.0.1'\n"
                                  "unix_socket_directories = '%2'\nfsync = off\n"
                                  "max_connections = 60\nshared_buffers = 16MB\n")
                       .arg(port_)
                       .arg(dir_->path());
    if (!options.certs.isEmpty()) {
        // The server reads its key only when the key is its own and private.
        for (const char* name : {"good.pem", "server.key", "ca.pem"}) {
            const QString to = dir_->filePath(QString::fromLatin1(name));
            QFile::copy(options.certs + QLatin1Char('/') + QLatin1String(name), to);
            QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            if (asRoot()) {
                QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), to});
            }
        }
        conf += QStringLiteral("ssl = on\nssl_cert_file = '%1/good.pem'\n"
                               "ssl_key_file = '%1/server.key'\n")
                    .arg(dir_->path());
        QFile hba(data_ + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return QStringLiteral("pg_hba.conf cannot be written");
        }
        hba.write("local all all trust\nhostssl all all 127.0.0.1/32 scram-sha-256\n");
    }
    QFile file(data_ + QStringLiteral("/postgresql.conf"));
    if (!file.open(QIODevice::Append)) {
        return QStringLiteral("postgresql.conf cannot be written");
    }
    file.write(conf.toUtf8());
    file.close();
    // Another program may take the port between its probe and the server's start: a later
    // line of the file names another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startAgain()) {
            return {};
        }
        port_ = freePort();
        if (!file.open(QIODevice::Append)) {
            break;
        }
        file.write(QStringLiteral("port = %1\n").arg(port_).toUtf8());
        file.close();
    }
    return error_;
}

QString PgCluster::startWorkshop(const Options& options) {
    if (QString error = start(options); !error.isEmpty()) {
        return error;
    }
    const bool made =
        makeDatabase(QStringLiteral("workshop")) &&
        makeRole(QStringLiteral("orvo"), QStringLiteral("pw")) &&
        sql(QStringLiteral("GRANT CREATE ON SCHEMA public TO orvo"), QStringLiteral("workshop"));
    return made ? QString() : error_;
}

records::StoreLocation PgCluster::workshop() const {
    return location(QStringLiteral("workshop"), QStringLiteral("orvo"), QStringLiteral("pw"));
}

bool PgCluster::writeWorkshopConf(const QString& configHome) const {
    const QString folder = configHome + QStringLiteral("/orvo-kr90x");
    QFile conf(folder + QStringLiteral("/records.conf"));
    if (!QDir().mkpath(folder) || !conf.open(QIODevice::WriteOnly)) {
        return false;
    }
    conf.write(QStringLiteral("[Records]\nEngine=postgresql\nHost=localhost\nPort=%1\n"
                              "Database=workshop\nUser=orvo\nPassword=pw\n")
                   .arg(port_)
                   .toUtf8());
    conf.close();
    return conf.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool PgCluster::startAgain() {
    running_ = run(kBin + QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), data_, QStringLiteral("-w"), QStringLiteral("-l"),
                    dir_->filePath(QStringLiteral("server.log")), QStringLiteral("start")});
    return running_;
}

bool PgCluster::stop(Stop how) {
    const bool stopped =
        run(kBin + QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), data_, QStringLiteral("-w"), QStringLiteral("-m"),
             how == Stop::Fast ? QStringLiteral("fast") : QStringLiteral("immediate"),
             QStringLiteral("stop")});
    running_ = running_ && !stopped;
    return stopped;
}

std::optional<QStringList> PgCluster::sql(const QString& statements, const QString& database) {
    QByteArray out;
    if (!run(kBin + QStringLiteral("psql"),
             {QStringLiteral("-h"), dir_->path(), QStringLiteral("-p"), QString::number(port_),
              QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), database,
              QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-At"),
              QStringLiteral("-c"), statements},
             &out)) {
        return std::nullopt;
    }
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool PgCluster::makeDatabase(const QString& database) {
    return sql(QStringLiteral("CREATE DATABASE \"%1\"").arg(database)).has_value();
}

bool PgCluster::makeRole(const QString& role, const QString& password) {
    return sql(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(role, password))
        .has_value();
}

records::StoreLocation PgCluster::location(const QString& database, const QString& role,
                                           const QString& password) const {
    records::StoreLocation l;
    l.engine = records::Engine::PostgreSQL;
    l.host = QStringLiteral("localhost");
    l.port = port_;
    l.database = database;
    l.user = role;
    l.password = password;
    l.outboxPath = dir_->filePath(QStringLiteral("outbox-%1.sqlite").arg(role));
    return l;
}

} // namespace kr90x::test
