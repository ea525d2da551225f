// The records on a real PostgreSQL server of the test's own: what a workshop's
// administrator sets up, what the server refuses, and what a server that restarts, a
// lock held by another PC and TLS do to the program.
#include "RecordsFixture.h"
#include "support/PgCluster.h"
#include "support/WaitFor.h"

#include "records/RecordWriter.h"

#include <QSignalSpy>
#include <QSqlDriver>

#include <set>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

const QString kDatabase = QStringLiteral("workshop");
const QString kRole = QStringLiteral("orvo");
const QString kPassword = QStringLiteral("s3cret 'quoted'");

Measurement withUid(Measurement m, int n) {
    m.uid = QStringLiteral("result-%1").arg(n);
    return m;
}

// The superuser's own connection, for what another PC or the administrator does.
class Superuser {
public:
    explicit Superuser(const PgCluster& server, const QString& database = kDatabase) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db_.setHostName(server.socketFolder());
        db_.setPort(server.port());
        db_.setDatabaseName(database);
        db_.setUserName(QStringLiteral("postgres"));
        EXPECT_TRUE(db_.open()) << db_.lastError().text().toStdString();
    }
    ~Superuser() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql) {
        QSqlQuery q(db_);
        const bool ok = q.exec(sql);
        EXPECT_TRUE(ok) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return ok;
    }
    QVariant value(const QString& sql) {
        QSqlQuery q(db_);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private:
    QString name_ = QStringLiteral("superuser-%1").arg(reinterpret_cast<quintptr>(this));
    QSqlDatabase db_;
};

class ServerStoreTest : public ::testing::Test {
protected:
    PgCluster server;
    void SetUp() override {
        const QString error = server.start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_TRUE(server.makeDatabase(kDatabase)) << server.lastError().toStdString();
        ASSERT_TRUE(server.makeRole(kRole, QStringLiteral("s3cret ''quoted''")));
        // The one grant the README asks of a workshop's administrator.
        ASSERT_TRUE(server.sql(QStringLiteral("GRANT CREATE ON SCHEMA public TO orvo"), kDatabase));
    }
    StoreLocation where() const { return server.location(kDatabase, kRole, kPassword); }
};

} // namespace

TEST_F(ServerStoreTest, ARoleWithTheDocumentedGrantKeepsItsRecordsFromOneStartToTheNext) {
    for (int start = 0; start < 3; ++start) {
        RecordStore store;
        ASSERT_TRUE(store.open(where())) << store.lastError().toStdString();
        EXPECT_EQ(store.mode(), RecordStore::Mode::ReadWrite);
        ASSERT_TRUE(store.save(withUid(compressionRecord(), start)));
        EXPECT_EQ(store.count({}), start + 1);
    }
    Superuser admin(server);
    EXPECT_EQ(admin.value(QStringLiteral("SELECT version FROM kr90x_schema")).toInt(),
              kSchemaVersion);
    EXPECT_EQ(admin.value(QStringLiteral("SELECT count(*) FROM kr90x_schema")).toInt(), 1);
}

TEST_F(ServerStoreTest, ARoleWithASchemaOfItsOwnKeepsItsRecordsThere) {
    ASSERT_TRUE(server.makeRole(QStringLiteral("bay2"), QStringLiteral("pw")));
    ASSERT_TRUE(server.makeRole(QStringLiteral("bay3"), QStringLiteral("pw")));
    ASSERT_TRUE(server.sql(QStringLiteral("CREATE SCHEMA bay2 AUTHORIZATION bay2; "
                                          "CREATE SCHEMA shared AUTHORIZATION bay3"),
                           kDatabase));
    // bay2 by its name (PostgreSQL's search path starts with the role's schema); bay3
    // by the Schema setting.
    StoreLocation bay2 = server.location(kDatabase, QStringLiteral("bay2"), QStringLiteral("pw"));
    StoreLocation bay3 = server.location(kDatabase, QStringLiteral("bay3"), QStringLiteral("pw"));
    bay3.schema = QStringLiteral("shared");
    for (const StoreLocation& l : {bay2, bay3}) {
        for (int start = 0; start < 2; ++start) {
            RecordStore store;
            ASSERT_TRUE(store.open(l)) << store.lastError().toStdString();
            ASSERT_TRUE(store.save(withUid(compressionRecord(), start)));
            EXPECT_EQ(store.count({}), start + 1);
        }
    }
    Superuser admin(server);
    EXPECT_EQ(admin
                  .value(QStringLiteral("SELECT string_agg(table_schema, ',' ORDER BY "
                                        "table_schema) FROM information_schema.tables WHERE "
                                        "table_name = 'records'"))
                  .toString(),
              QStringLiteral("bay2,shared"));
}

TEST_F(ServerStoreTest, WhatTheServerRefusesIsToldInItsOwnWords) {
    ASSERT_TRUE(server.makeRole(QStringLiteral("nogrant"), QStringLiteral("pw")));
    RecordStore store;
    EXPECT_FALSE(store.open(server.location(kDatabase, QStringLiteral("nogrant"), "pw")));
    EXPECT_EQ(store.lastFault(), Fault::Permission);
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("CREATE on schema public")))
        << store.lastError().toStdString();
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("permission denied")));

    EXPECT_FALSE(store.open(server.location(kDatabase, kRole, QStringLiteral("wrong"))));
    EXPECT_EQ(store.lastFault(), Fault::Unreachable);
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("password authentication failed")))
        << store.lastError().toStdString();

    EXPECT_FALSE(store.open(server.location(QStringLiteral("nosuchdb"), kRole, kPassword)));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("nosuchdb")));

    // A text with a NUL: the driver would cut the statement off at it.
    ASSERT_TRUE(store.open(where()));
    Measurement m = compressionRecord(QStringLiteral("AB\u0000CD"));
    m.vehicle.notes = QStringLiteral("one\u0000two");
    const std::optional<RecordId> id = store.save(withUid(m, 1));
    ASSERT_TRUE(id) << store.lastError().toStdString();
    EXPECT_EQ(store.load(*id)->vehicle.plate, QStringLiteral("AB\uFFFDCD"));
    EXPECT_TRUE(store.updateVehicle(*id, m.vehicle)) << store.lastError().toStdString();
}

TEST_F(ServerStoreTest, NoSaveWaitsLongerThanItsBoundOnAnotherPcsLock) {
    RecordStore store;
    ASSERT_TRUE(store.open(where()));
    Superuser otherPc(server);
    ASSERT_TRUE(otherPc.exec(QStringLiteral("BEGIN")));
    ASSERT_TRUE(otherPc.exec(QStringLiteral("LOCK TABLE records IN ACCESS EXCLUSIVE MODE")));
    EXPECT_FALSE(store.save(withUid(compressionRecord(), 1)));
    EXPECT_EQ(store.lastFault(), Fault::Busy) << store.lastError().toStdString();
    EXPECT_FALSE(store.count({}));
    EXPECT_EQ(store.lastFault(), Fault::Busy);
    ASSERT_TRUE(otherPc.exec(QStringLiteral("ROLLBACK")));
    EXPECT_TRUE(store.save(withUid(compressionRecord(), 1))) << store.lastError().toStdString();
}

TEST_F(ServerStoreTest, AServerRestartLosesAndDoublesNoResult) {
    // The window's store, opened before the restart, and the keeper's writer.
    RecordStore window;
    ASSERT_TRUE(window.open(where()));
    ASSERT_TRUE(window.save(withUid(compressionRecord(), 0)));
    RecordStore list; // a records window's, idle across the stop
    ASSERT_TRUE(list.open(where()));
    RecordWriter writer(where());
    writer.retryDelayMs = 1;
    writer.start();
    QSignalSpy saved(&writer, &RecordWriter::saved);
    QSignalSpy lost(&writer, &RecordWriter::lost);
    QSignalSpy waiting(&writer, &RecordWriter::waiting);
    int n = 1;
    for (; n <= 40; ++n) {
        writer.save(withUid(curveRecord(500), n));
    }
    ASSERT_TRUE(server.stop());
    for (; n <= 70; ++n) {
        writer.save(withUid(curveRecord(500), n));
    }
    ASSERT_FALSE(waiting.isEmpty());
    EXPECT_EQ(waiting.last().at(0).toInt(), 30);
    EXPECT_TRUE(waiting.last().at(1).toString().contains(QStringLiteral("server")))
        << waiting.last().at(1).toString().toStdString();
    EXPECT_FALSE(window.save(withUid(compressionRecord(), 100)));
    EXPECT_EQ(window.lastFault(), Fault::Unreachable);
    EXPECT_FALSE(list.count({}));
    EXPECT_EQ(list.lastFault(), Fault::Unreachable) << list.lastError().toStdString();

    ASSERT_TRUE(server.startAgain());
    // Each store tries a server that was away again after a short pause.
    ASSERT_TRUE(waitFor(
        [&] {
            writer.send();
            return waiting.last().at(0).toInt() == 0;
        },
        10000));
    EXPECT_TRUE(lost.isEmpty());
    // The window's store, whose connection the restart cut, keeps its next result.
    const Measurement after = withUid(compressionRecord(), 100);
    EXPECT_TRUE(waitFor([&] { return window.save(after).has_value(); }, 10000))
        << window.lastError().toStdString();
    EXPECT_TRUE(waitFor([&] { return list.count({}) == 72; }, 10000))
        << list.lastError().toStdString();
    Superuser admin(server);
    EXPECT_EQ(admin.value(QStringLiteral("SELECT count(*) FROM records")).toInt(), 72);
    EXPECT_EQ(admin.value(QStringLiteral("SELECT count(DISTINCT uid) FROM records")).toInt(), 72);
    // In the order they were taken: the record numbers follow the results' numbers.
    EXPECT_EQ(
        admin
            .value(QStringLiteral("SELECT count(*) FROM records a JOIN records b ON a.id < b.id "
                                  "WHERE substr(a.uid, 8)::int > substr(b.uid, 8)::int"))
            .toInt(),
        0);
}

TEST_F(ServerStoreTest, AnotherPcsSaveReachesAWatchingStore) {
    RecordStore window;
    ASSERT_TRUE(window.open(where()));
    window.watchChanges();
    drainEvents();
    window.changedElsewhere(); // what the subscription itself told
    RecordStore otherPc;
    ASSERT_TRUE(otherPc.open(where()));
    ASSERT_TRUE(window.save(withUid(compressionRecord(), 1)));
    drainEvents();
    EXPECT_FALSE(window.changedElsewhere()); // its own save is no news
    ASSERT_TRUE(otherPc.save(withUid(compressionRecord(), 2)));
    EXPECT_TRUE(waitFor([&] { return window.changedElsewhere(); }, 5000));
    ASSERT_TRUE(otherPc.updateVehicle(*otherPc.idOf(QStringLiteral("result-2")), {}));
    EXPECT_TRUE(waitFor([&] { return window.changedElsewhere(); }, 5000));

    // A restart while the window only listens: it listens again, and hears of what the
    // other PC saved.
    ASSERT_TRUE(server.stop());
    ASSERT_TRUE(server.startAgain());
    drainEvents();
    ASSERT_TRUE(otherPc.save(withUid(compressionRecord(), 3))) << otherPc.lastError().toStdString();
    EXPECT_TRUE(waitFor([&] { return window.changedElsewhere(); }, 10000));
    EXPECT_EQ(window.count({}), 3);
    ASSERT_TRUE(otherPc.save(withUid(compressionRecord(), 4)));
    EXPECT_TRUE(waitFor([&] { return window.changedElsewhere(); }, 5000));
}
