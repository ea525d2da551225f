// The window's records on a workshop's PostgreSQL server of the test's own: another PC's
// save in the open list, a server that refuses, and the copy of a PC's records file to it.
#include "RecordsWindowFixture.h"
#include "support/PgCluster.h"

#include <QLabel>
#include <QProcess>

using namespace kr90x;
using namespace kr90x::test;

namespace {

class SharedRecordsTest : public RecordsTest {
protected:
    PgCluster server;
    void SetUp() override {
        RecordsTest::SetUp();
        const QString error = server.startWorkshop();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    records::StoreLocation where(const QString& password = QStringLiteral("pw")) const {
        records::StoreLocation l =
            server.location(QStringLiteral("workshop"), QStringLiteral("orvo"), password);
        l.outboxPath = data.filePath(QStringLiteral("orvo-kr90x/outbox.sqlite"));
        return l;
    }
    QString serverCount() {
        const std::optional<QStringList> rows =
            server.sql(QStringLiteral("SELECT count(*) FROM records"), QStringLiteral("workshop"));
        return rows ? rows->value(0) : server.lastError();
    }
};

} // namespace

TEST_F(SharedRecordsTest, AnotherPcsSaveAppearsInTheOpenRecordsWindow) {
    form->records().openStore(where());
    drainEvents();
    receive(kPetrolReply);
    RecordsWindow& w = recordsWindow();
    ASSERT_EQ(w.model().rowCount(), 1);
    // What the window's own connection was told when it began to listen is behind it.
    ASSERT_TRUE(waitFor([&] { return !form->records().store().changedElsewhere(); }));
    records::RecordStore otherPc;
    ASSERT_TRUE(otherPc.open(where()));
    records::Measurement theirs = compressionRecord(QStringLiteral("BAY-2"));
    theirs.measuredAt = QDateTime::currentDateTimeUtc().addSecs(5);
    ASSERT_TRUE(otherPc.save(theirs));
    // Told by the server; nothing in this window asked for it.
    ASSERT_TRUE(waitFor([&] { return w.model().rowCount() == 2; }, 5000));
    EXPECT_EQ(w.model().record(0).vehicle.plate, QStringLiteral("BAY-2"));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SharedRecordsTest, AServerThatRefusesIsOneMessageAndItsResultsWaitOnThisPc) {
    form->records().setKeeperTiming({5, 1, 50});
    form->records().openStore(where(QStringLiteral("wrong")));
    drainEvents();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("password authentication failed")))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("they wait on this PC")));
    receive(kPetrolReply);
    oilCurve({400, 410});
    ASSERT_TRUE(waitFor([&] { return form->records().waitingResults() == 2; }, 10000));
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "one message, not one per result";
    EXPECT_FALSE(form->Chart2->isHidden());
    const QStringList lines = form->log().lines().filter(QStringLiteral("Workshop records"));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Workshop records: results wait in the "
                                                       "outbox (the records server cannot be "
                                                       "reached or refused the connection "
                                                       "(connection to server at \"localhost\"")))
        << lines.last().toStdString();
    EXPECT_TRUE(lines.last().contains(QStringLiteral("password authentication failed")));
    EXPECT_FALSE(lines.last().contains(QLatin1Char('\n')));

    // The password put right, the program started again: what waited is kept, once.
    form.reset();
    form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
    form->show();
    form->records().setKeeperTiming({5, 1, 50});
    form->records().openStore(where());
    ASSERT_TRUE(waitFor([&] { return form->records().waitingResults() == 0; }, 10000));
    EXPECT_EQ(serverCount(), QStringLiteral("2"));
}

TEST_F(SharedRecordsTest, APcsRecordsFileIsCopiedToTheServerOnce) {
    {
        records::RecordStore file;
        ASSERT_TRUE(file.open(storePath()));
        ASSERT_TRUE(file.save(compressionRecord(QStringLiteral("OLD-1")))); // no uid, as of old
        records::Measurement curve = curveRecord(1000);
        curve.uid = QStringLiteral("curve-1");
        ASSERT_TRUE(file.save(curve));
    }
    QTemporaryDir config;
    ASSERT_TRUE(server.writeWorkshopConf(config.path()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    for (const char* expected : {"Copied 2 records from ", "Copied 0 records from "}) {
        QProcess copy;
        copy.setProcessEnvironment(env);
        copy.start(QStringLiteral(KR90X_PROGRAM), {QStringLiteral("--copy-records"), storePath()});
        ASSERT_TRUE(copy.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(copy.readAllStandardOutput());
        EXPECT_EQ(copy.exitCode(), 0) << copy.readAllStandardError().toStdString();
        EXPECT_TRUE(out.startsWith(QLatin1String(expected))) << out.toStdString();
    }
    EXPECT_EQ(serverCount(), QStringLiteral("2"));
    const std::optional<QStringList> plates = server.sql(
        QStringLiteral("SELECT plate || ':' || (uid IS NOT NULL) FROM records ORDER BY id"),
        QStringLiteral("workshop"));
    ASSERT_TRUE(plates);
    EXPECT_EQ(*plates, (QStringList{QStringLiteral("OLD-1:true"), QStringLiteral(":true")}));

    QProcess missing;
    missing.setProcessEnvironment(env);
    missing.start(QStringLiteral(KR90X_PROGRAM),
                  {QStringLiteral("--copy-records"), data.filePath(QStringLiteral("none"))});
    ASSERT_TRUE(missing.waitForFinished(60000));
    EXPECT_EQ(missing.exitCode(), 1);
    EXPECT_TRUE(missing.readAllStandardError().contains("is no records file"));
}

// The outage drill: the server stops while results are read and the records window is
// open, and starts again.
TEST_F(SharedRecordsTest, ResultsReadWhileTheServerIsDownAreAllThereOnceItIsBack) {
    form->records().setKeeperTiming({5, 1, 50});
    form->records().openStore(where());
    drainEvents();
    receive(kPetrolReply);
    RecordsWindow& w = recordsWindow();
    ASSERT_EQ(w.model().rowCount(), 1);
    ASSERT_TRUE(server.stop());
    receive(kPetrolReply);
    oilCurve({400, 410});
    receive(kPetrolReply);
    ASSERT_TRUE(waitFor([&] { return form->records().waitingResults() == 3; }, 10000));
    EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text.toStdString();
    EXPECT_FALSE(form->chart1->isHidden());
    form->btnRecords->click();
    EXPECT_TRUE(w.status->text().contains(QStringLiteral("3 results wait to be kept")))
        << w.status->text().toStdString();

    ASSERT_TRUE(server.startAgain());
    ASSERT_TRUE(waitFor([&] { return form->records().waitingResults() == 0; }, 10000));
    ASSERT_TRUE(waitFor([&] { return w.model().rowCount() == 4; }, 5000))
        << w.status->text().toStdString();
    EXPECT_EQ(w.status->text(), QStringLiteral("4 of 4 records"));
    const std::optional<QStringList> rows =
        server.sql(QStringLiteral("SELECT count(*) || '|' || count(DISTINCT uid) FROM records"),
                   QStringLiteral("workshop"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->value(0), QStringLiteral("4|4"));
    EXPECT_EQ(form->log().lines().filter(QStringLiteral("every waiting result is kept")).size(), 1);
}
