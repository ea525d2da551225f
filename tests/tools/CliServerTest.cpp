// kr90x keeping and listing its results on a workshop's PostgreSQL server, named in
// records.conf as for the window, and waiting on this PC while the server is away.
#include "CliRun.h"
#include "support/PgCluster.h"

#include <QDir>
#include <QFile>

using namespace kr90x::test;

namespace {

class CliServerTest : public CliTest {
protected:
    PgCluster server;
    void SetUp() override {
        const QString error = server.startWorkshop();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_TRUE(server.writeWorkshopConf(home.filePath(QStringLiteral("config"))));
    }
    QString onServer(const QString& sql) {
        const std::optional<QStringList> rows = server.sql(sql, QStringLiteral("workshop"));
        return rows ? rows->join(QLatin1Char(',')) : server.lastError();
    }
    CliRun read(const QString& function, const QString& plate) {
        return kr90x({QStringLiteral("read"), function, kTester, QStringLiteral("--format=json"),
                      QStringLiteral("--vehicle"), QStringLiteral("plate=") + plate});
    }
};

} // namespace

TEST_F(CliServerTest, ResultsAreKeptOnTheServerAndWaitOnThisPcWhileItIsAway) {
    const CliRun kept = read(QStringLiteral("petrol"), QStringLiteral("SRV-1"));
    ASSERT_EQ(kept.exitCode, 0) << kept.err.toStdString();
    EXPECT_EQ(python(kept.out, QStringLiteral("print(d['kept'])")),
              QStringList{QStringLiteral("kept")});
    EXPECT_EQ(onServer(QStringLiteral("SELECT plate FROM records")), QStringLiteral("SRV-1"));

    ASSERT_TRUE(server.stop());
    const CliRun waiting = read(QStringLiteral("oil"), QStringLiteral("SRV-2"));
    EXPECT_EQ(waiting.exitCode, 0) << waiting.err.toStdString();
    EXPECT_TRUE(waiting.errorLine().startsWith(
        QStringLiteral("kr90x: the result waits on this PC for the records server")))
        << waiting.errorLine().toStdString();
    // The server's reason may span lines; standard error has one.
    EXPECT_EQ(waiting.err.count('\n'), 1) << waiting.err.toStdString();
    EXPECT_EQ(python(waiting.out, QStringLiteral("print(d['kept'])")),
              QStringList{QStringLiteral("waiting")});
    const CliRun waitingText = kr90x({QStringLiteral("read"), QStringLiteral("petrol"), kTester,
                                      QStringLiteral("--vehicle"), QStringLiteral("plate=SRV-2T")});
    EXPECT_EQ(waitingText.exitCode, 0) << waitingText.err.toStdString();
    EXPECT_TRUE(waitingText.out.contains("\nRecord: waiting on this PC for the records server\n"))
        << waitingText.out.toStdString();
    const CliRun listAway = kr90x({QStringLiteral("records"), QStringLiteral("list")});
    EXPECT_EQ(listAway.exitCode, 5);
    EXPECT_TRUE(listAway.errorLine().contains(QStringLiteral("Connection refused")))
        << listAway.errorLine().toStdString();

    ASSERT_TRUE(server.startAgain());
    const CliRun next = read(QStringLiteral("diesel"), QStringLiteral("SRV-3"));
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(onServer(QStringLiteral("SELECT string_agg(plate, ' ' ORDER BY id) || '|' || "
                                      "count(DISTINCT uid) FROM records")),
              QStringLiteral("SRV-1 SRV-2 SRV-2T SRV-3|4"));
    const CliRun list =
        kr90x({QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("--format=json")});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(python(list.out, QStringLiteral("print(' '.join(r['vehicle']['plate'] for r in "
                                              "d['records']))")),
              QStringList{QStringLiteral("SRV-3 SRV-2T SRV-2 SRV-1")});
}
