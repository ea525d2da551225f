// Several PCs on one PostgreSQL server, each a program of its own, and the server seen
// through TLS as a workshop's records.conf sets it up.
#include "RecordsFixture.h"
#include "support/PgCluster.h"
#include "support/WaitFor.h"

#include "records/RecordWriter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QUuid>

#include <memory>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

constexpr char kChildEnv[] = "KR90X_SERVER_PC";

// Several programs of this test at once, each told where the server is; their outputs.
std::vector<QByteArray> runPcs(const PgCluster& server, int pcs, int results) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildEnv),
               QStringLiteral("%1|%2").arg(server.port()).arg(results));
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < pcs; ++i) {
        auto child = std::make_unique<QProcess>();
        child->setProcessEnvironment(env);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_filter=ServerPcChild.StartsAndSaves")});
        children.push_back(std::move(child));
    }
    std::vector<QByteArray> outputs;
    for (const auto& child : children) {
        EXPECT_TRUE(child->waitForFinished(120000));
        EXPECT_EQ(child->exitCode(), 0);
        outputs.push_back(child->readAllStandardOutput());
    }
    return outputs;
}

class ServerPcsTest : public ::testing::Test {
protected:
    PgCluster server;
    void SetUp() override {
        const QString error = server.startWorkshop();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
};

} // namespace

// One PC: starts against the server (its schema made or checked), then keeps its results
// as the program does, through the writer and its own outbox.
TEST(ServerPcChild, StartsAndSaves) {
    const QStringList told = qEnvironmentVariable(kChildEnv).split(QLatin1Char('|'));
    if (told.size() != 2) {
        GTEST_SKIP() << "run by ServerPcsTest";
    }
    StoreLocation where;
    where.engine = Engine::PostgreSQL;
    where.host = QStringLiteral("localhost");
    where.port = told[0].toInt();
    where.database = QStringLiteral("workshop");
    where.user = QStringLiteral("orvo");
    where.password = QStringLiteral("pw");
    QTemporaryDir dir;
    where.outboxPath = dir.filePath(QStringLiteral("outbox.sqlite"));
    RecordStore store;
    ASSERT_TRUE(store.open(where)) << store.lastError().toStdString();
    RecordWriter writer(where);
    writer.start();
    QSignalSpy saved(&writer, &RecordWriter::saved);
    int waiting = 0;
    QObject::connect(&writer, &RecordWriter::waiting,
                     [&](int count, const QString&) { waiting = count; });
    const Measurement base = curveRecord(2000);
    for (int i = 0; i < told[1].toInt(); ++i) {
        Measurement m = base;
        m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        // Said before it is handed over: a result the PC took, whatever happens next.
        std::printf("uid %s\n", qPrintable(m.uid));
        std::fflush(stdout);
        writer.save(m);
    }
    // A server away for a while is waited for, as the program's send timer does.
    EXPECT_TRUE(waitFor(
        [&] {
            writer.send();
            return waiting == 0;
        },
        60000));
    std::printf("kept %lld\n", static_cast<long long>(saved.count()));
}

TEST_F(ServerPcsTest, TwoPcsStartingAgainstAnEmptyDatabaseMakeOneSchema) {
    const std::vector<QByteArray> outputs = runPcs(server, 2, 1);
    for (const QByteArray& out : outputs) {
        EXPECT_TRUE(out.contains("kept 1")) << out.toStdString();
    }
    const std::optional<QStringList> rows =
        server.sql(QStringLiteral("SELECT (SELECT count(*) FROM records), (SELECT version FROM "
                                  "kr90x_schema), (SELECT count(*) FROM kr90x_schema)"),
                   QStringLiteral("workshop"));
    ASSERT_TRUE(rows) << server.lastError().toStdString();
    EXPECT_EQ(rows->value(0), QStringLiteral("2|%1|1").arg(kSchemaVersion));
}

TEST_F(ServerPcsTest, ThreePcsSavingAtOnceKeepEveryResultOnce) {
    const std::vector<QByteArray> outputs = runPcs(server, 3, 150);
    for (const QByteArray& out : outputs) {
        EXPECT_TRUE(out.contains("kept 150")) << out.toStdString();
    }
    const std::optional<QStringList> rows =
        server.sql(QStringLiteral("SELECT count(*), count(DISTINCT uid), (SELECT count(*) FROM "
                                  "record_samples) FROM records"),
                   QStringLiteral("workshop"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->value(0), QStringLiteral("450|450|450"));
}

// The server dies in the middle of a burst, transactions and commits under way, and comes
// back: every result the PC took is on it, once.
TEST_F(ServerPcsTest, AServerThatDiesDuringABurstLosesAndDoublesNothing) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildEnv), QStringLiteral("%1|400").arg(server.port()));
    QProcess pc;
    pc.setProcessEnvironment(env);
    pc.start(QCoreApplication::applicationFilePath(),
             {QStringLiteral("--gtest_filter=ServerPcChild.StartsAndSaves")});
    ChildLines lines(pc);
    QStringList taken;
    auto read = [&] { lines.read("uid ", [&](const QByteArray& uid) { taken << uid; }); };
    ASSERT_TRUE(waitFor(
        [&] {
            read();
            return taken.size() >= 100;
        },
        60000));
    ASSERT_TRUE(server.stop(PgCluster::Stop::Immediate));
    ASSERT_TRUE(waitFor(
        [&] {
            read();
            return taken.size() >= 150 || pc.state() == QProcess::NotRunning;
        },
        60000));
    ASSERT_TRUE(server.startAgain());
    ASSERT_TRUE(pc.waitForFinished(120000));
    read();
    EXPECT_EQ(pc.exitCode(), 0);
    ASSERT_EQ(taken.size(), 400);
    const std::optional<QStringList> kept = server.sql(
        QStringLiteral("SELECT uid FROM records ORDER BY uid"), QStringLiteral("workshop"));
    ASSERT_TRUE(kept);
    taken.sort();
    EXPECT_EQ(*kept, taken);
}

TEST(ServerTls, VerifyFullTrustsOnlyTheServerItsCaVouchesFor) {
    QTemporaryDir certs;
    ASSERT_EQ(QProcess::execute(QStringLiteral(KR90X_CERTS_SCRIPT), {certs.path()}), 0);
    PgCluster server;
    PgCluster::Options tls;
    tls.certs = certs.path();
    const QString error = server.startWorkshop(tls);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();

    StoreLocation where = server.workshop();
    where.sslMode = QStringLiteral("verify-full");
    where.sslRootCert = certs.filePath(QStringLiteral("ca.pem"));
    RecordStore store;
    ASSERT_TRUE(store.open(where)) << store.lastError().toStdString();
    ASSERT_TRUE(store.save(compressionRecord()));
    const std::optional<QStringList> ssl = server.sql(
        QStringLiteral("SELECT count(*) FROM pg_stat_ssl JOIN pg_stat_activity USING (pid) WHERE "
                       "ssl AND usename = 'orvo'"));
    ASSERT_TRUE(ssl);
    EXPECT_EQ(ssl->value(0), QStringLiteral("1"));
    store.close();

    // A server whose certificate another CA signed (here: itself) is not the records'.
    StoreLocation stranger = where;
    stranger.sslRootCert = certs.filePath(QStringLiteral("selfsigned.pem"));
    EXPECT_FALSE(store.open(stranger));
    EXPECT_EQ(store.lastFault(), Fault::Unreachable);
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("certificate")))
        << store.lastError().toStdString();
    // The server's name must be the certificate's.
    StoreLocation byAddress = where;
    byAddress.host = QStringLiteral("127.0.0.1");
    EXPECT_FALSE(store.open(byAddress));
    // Without TLS the server does not let the role in.
    StoreLocation plain = where;
    plain.sslMode = QStringLiteral("disable");
    EXPECT_FALSE(store.open(plain));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("no encryption")))
        << store.lastError().toStdString();
}
