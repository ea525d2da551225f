// records.conf: which records a PC keeps its results in, read as the update settings are.
#include "RecordsFixture.h"

#include "records/Outbox.h"
#include "records/StoreLocation.h"

using namespace kr90x;
using namespace kr90x::records;

namespace {

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& text,
              QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                     QFileDevice::WriteOwner) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    f.setPermissions(permissions);
    return path;
}

} // namespace

TEST(StoreSettings, LayersNameTheServerAndTheOutboxStaysOnThisPc) {
    QTemporaryDir dir;
    const QString system = write(dir, QStringLiteral("etc.conf"),
                                 "[Records]\nEngine=PostgreSQL\nHost=records.lan\nPort=5433\n"
                                 "Database=workshop\nUser=orvo\nSslMode=Verify-Full\n"
                                 "SslRootCert=/etc/orvo-kr90x/ca.pem\n[Server]\nPort=21\n");
    const QString user = write(dir, QStringLiteral("user.conf"),
                               "; this bay's account\n[records]\nuser=bay2\nPassword=pw\n");
    const StoreLocation l = configuredStoreLocation({system, user, dir.filePath("missing")});
    EXPECT_EQ(l.engine, Engine::PostgreSQL);
    EXPECT_EQ(l.host, QStringLiteral("records.lan"));
    EXPECT_EQ(l.port, 5433);
    EXPECT_EQ(l.user, QStringLiteral("bay2"));
    EXPECT_EQ(l.password, QStringLiteral("pw"));
    EXPECT_EQ(l.sslMode, QStringLiteral("verify-full"));
    EXPECT_TRUE(l.warnings.isEmpty()) << l.warnings.join('\n').toStdString();
    EXPECT_EQ(l.outboxPath, Outbox::pathBeside(RecordStore::defaultPath()));
    EXPECT_EQ(l.describe(), QStringLiteral("postgresql://bay2@records.lan:5433/workshop"));

    const StoreLocation none = configuredStoreLocation({dir.filePath("missing")});
    EXPECT_EQ(none.engine, Engine::SQLite);
    EXPECT_EQ(none.path, RecordStore::defaultPath());
}

TEST(StoreSettings, WhatMakesNoSenseIsWarnedAboutAndNeverWeakensTls) {
    QTemporaryDir dir;
    const QString odd =
        write(dir, QStringLiteral("odd.conf"),
              "[Records]\nEngine=oracle\nPort=99999\nSslMode=maybe\n"
              "Password=secret\n",
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const StoreLocation l = configuredStoreLocation({odd});
    EXPECT_EQ(l.engine, Engine::SQLite);
    EXPECT_EQ(l.port, 0);
    EXPECT_EQ(l.sslMode, QStringLiteral("verify-full"));
    ASSERT_EQ(l.warnings.size(), 4) << l.warnings.join('\n').toStdString();
    EXPECT_TRUE(l.warnings[0].contains(QStringLiteral("Engine=oracle")));
    EXPECT_TRUE(l.warnings[3].contains(QStringLiteral("every user may read it")));
    EXPECT_FALSE(l.describe().contains(QStringLiteral("secret")));
}

TEST(StoreSettings, ServerSettingsReachTheDriverQuotedAsLibpqReadsThem) {
    StoreLocation l;
    l.engine = Engine::PostgreSQL;
    l.sslMode = QStringLiteral("verify-full");
    l.sslRootCert = QStringLiteral("/srv/it's a \\ca.pem");
    l.schema = QStringLiteral("bay \"2\"");
    const SqlDialect pg(Engine::PostgreSQL);
    EXPECT_TRUE(pg.connectOptions(l, false).endsWith(
        QStringLiteral(";sslmode='verify-full';"
                       "sslrootcert='/srv/it\\'s a \\\\ca.pem'")))
        << pg.connectOptions(l, false).toStdString();
    EXPECT_TRUE(
        pg.sessionSetup(l).contains(QStringLiteral("SET search_path TO \"bay \"\"2\"\"\"")));
    EXPECT_TRUE(SqlDialect(Engine::SQLite).sessionSetup(l).isEmpty());
}
