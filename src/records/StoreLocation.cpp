#include "records/StoreLocation.h"

#include "core/IniText.h"
#include "records/Outbox.h"
#include "records/RecordStore.h"

#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <optional>

namespace kr90x::records {
namespace {

constexpr qint64 kMaxConfigBytes = 64 * 1024;
constexpr QByteArrayView kRecords = "Records";

// libpq's names of its TLS modes; anything else would be passed to it unchecked.
constexpr std::array kSslModes{u"disable", u"allow",     u"prefer",
                               u"require", u"verify-ca", u"verify-full"};

std::optional<QString> value(QByteArrayView text, QByteArrayView key) {
    if (const std::optional<QByteArray> v = iniValue(text, kRecords, key)) {
        return QString::fromUtf8(*v);
    }
    return std::nullopt;
}

} // namespace

StoreLocation StoreLocation::sqliteFile(const QString& path) {
    StoreLocation l;
    l.path = path;
    l.outboxPath = Outbox::pathBeside(path);
    return l;
}

QString StoreLocation::describe() const {
    if (engine == Engine::SQLite) {
        return path;
    }
    QString where = service.isEmpty() ? QString() : QStringLiteral("service %1 ").arg(service);
    where += QStringLiteral("postgresql://%1%2%3/%4")
                 .arg(user.isEmpty() ? QString() : user + QLatin1Char('@'),
                      host.isEmpty() ? QStringLiteral("localhost") : host,
                      port > 0 ? QStringLiteral(":%1").arg(port) : QString(), database);
    return schema.isEmpty() ? where : where + QStringLiteral(" (schema %1)").arg(schema);
}

QStringList recordsConfigFiles() {
    return {QStringLiteral("/etc/orvo-kr90x/records.conf"),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/orvo-kr90x/records.conf")};
}

bool applyRecordsConfig(StoreLocation& l, QByteArrayView text) {
    if (const std::optional<QString> engine = value(text, "Engine")) {
        const QString e = engine->trimmed().toLower();
        if (e == u"sqlite") {
            l.engine = Engine::SQLite;
        } else if (e == u"postgresql" || e == u"postgres") {
            l.engine = Engine::PostgreSQL;
        } else {
            l.warnings << QStringLiteral("Workshop records: Engine=%1 is neither sqlite nor "
                                         "postgresql; it is passed over")
                              .arg(*engine);
        }
    }
    for (auto [key, into] : {std::pair{"Host", &l.host}, std::pair{"Database", &l.database},
                             std::pair{"User", &l.user}, std::pair{"Password", &l.password},
                             std::pair{"PassFile", &l.passFile}, std::pair{"Service", &l.service},
                             std::pair{"SslRootCert", &l.sslRootCert},
                             std::pair{"Schema", &l.schema}, std::pair{"File", &l.path}}) {
        if (std::optional<QString> v = value(text, key)) {
            *into = std::move(*v);
        }
    }
    if (const std::optional<QString> port = value(text, "Port")) {
        bool ok = false;
        const int p = port->toInt(&ok);
        if (ok && p > 0 && p < 65536) {
            l.port = p;
        } else if (!port->isEmpty()) {
            l.warnings << QStringLiteral("Workshop records: Port=%1 is no port; it is passed "
                                         "over")
                              .arg(*port);
        }
    }
    if (const std::optional<QString> mode = value(text, "SslMode")) {
        const QString m = mode->trimmed().toLower();
        if (std::any_of(kSslModes.begin(), kSslModes.end(),
                        [&](const char16_t* known) { return m == QStringView(known); })) {
            l.sslMode = m;
        } else {
            // Never weaker than asked: an unknown mode checks the server fully.
            l.sslMode = QStringLiteral("verify-full");
            l.warnings << QStringLiteral("Workshop records: SslMode=%1 is unknown; verify-full "
                                         "is used")
                              .arg(*mode);
        }
    }
    // As it was read: a value of nothing but a byte-order mark holds no password.
    const std::optional<QString> password = value(text, "Password");
    return password && !password->isEmpty();
}

StoreLocation configuredStoreLocation(const QStringList& files) {
    StoreLocation l;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const bool holdsPassword = applyRecordsConfig(l, file.read(kMaxConfigBytes));
        if (holdsPassword && (file.permissions() & QFileDevice::ReadOther)) {
            l.warnings << QStringLiteral("Workshop records: %1 holds the password and every "
                                         "user may read it (chmod o-r)")
                              .arg(path);
        }
    }
    // The outbox stays on this PC whatever holds the records: it is what keeps a result
    // while the server is away.
    const QString local = RecordStore::defaultPath();
    if (l.engine == Engine::SQLite && l.path.isEmpty()) {
        l.path = local;
    }
    l.outboxPath = Outbox::pathBeside(l.engine == Engine::SQLite ? l.path : local);
    return l;
}

} // namespace kr90x::records
