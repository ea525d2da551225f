// Results the records could not take wait in the outbox and are kept later, in order and
// exactly once: across a restart, a removal cut off by a crash, and a program killed in
// the middle of a burst while the records are locked on and off.
#include "RecordsFixture.h"

#include "records/BackgroundKeeper.h"
#include "records/Outbox.h"
#include "records/RecordWriter.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <set>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

constexpr char kOutboxChildDb[] = "KR90X_OUTBOX_CHILD_DB";
constexpr KeeperTiming kQuick{2, 1, 20};

Measurement withUid(Measurement m) {
    m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m;
}

class OutboxTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("records.sqlite")); }
    // Every uid kept, and how often.
    std::map<QString, int> keptUids() {
        std::map<QString, int> uids;
        RawDatabase raw(path());
        QSqlQuery q(raw.db());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT uid FROM records")));
        while (q.next()) {
            ++uids[q.value(0).toString()];
        }
        return uids;
    }
    int waitingInOutbox() {
        RawDatabase raw(Outbox::pathBeside(path()));
        return raw.value(QStringLiteral("SELECT count(*) FROM waiting")).toInt();
    }
};

} // namespace

TEST_F(OutboxTest, WaitingResultsSurviveARestartAndAreKeptOnceInOrder) {
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
    }
    std::vector<Measurement> results;
    for (int i = 0; i < 3; ++i) {
        results.push_back(withUid(i == 1 ? curveRecord(500) : compressionRecord()));
    }
    {
        RawDatabase other(path());
        other.exec(QStringLiteral("BEGIN IMMEDIATE"));
        BackgroundKeeper keeper(StoreLocation::sqliteFile(path()), kQuick);
        for (const Measurement& m : results) {
            keeper.save(m);
        }
        ASSERT_TRUE(waitFor([&] { return keeper.waiting() == 3; }, 10000));
    } // the program ends while the records are still locked
    EXPECT_EQ(waitingInOutbox(), 3);
    EXPECT_TRUE(keptUids().empty());

    BackgroundKeeper next(StoreLocation::sqliteFile(path()), kQuick);
    std::vector<QString> order;
    QObject::connect(&next, &BackgroundKeeper::saved,
                     [&](const QString& uid, qint64) { order.push_back(uid); });
    ASSERT_TRUE(waitFor([&] { return order.size() == 3; }, 10000));
    EXPECT_EQ(order, (std::vector<QString>{results[0].uid, results[1].uid, results[2].uid}));
    EXPECT_EQ(keptUids().size(), 3u);
    EXPECT_EQ(waitingInOutbox(), 0);
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    const std::optional<Measurement> curve = store.load(*store.idOf(results[1].uid));
    ASSERT_TRUE(curve);
    EXPECT_EQ(curve->samples, results[1].samples);
}

// The record was written but the program died before the outbox row went: the next send
// finds it kept by its uid and keeps it no second time.
TEST_F(OutboxTest, AResultKeptBeforeItsOutboxRowWentIsNotKeptTwice) {
    const Measurement m = withUid(compressionRecord(QStringLiteral("ONCE")));
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
        ASSERT_TRUE(store.save(m));
        Outbox outbox;
        ASSERT_TRUE(outbox.open(Outbox::pathBeside(path())));
        ASSERT_TRUE(outbox.add(m));
        ASSERT_TRUE(outbox.add(m)); // the same result twice is one row
        EXPECT_EQ(outbox.count(), 1);
    }
    {
        BackgroundKeeper keeper(StoreLocation::sqliteFile(path()), kQuick);
        bool sent = false;
        QObject::connect(&keeper, &BackgroundKeeper::saved, [&] { sent = true; });
        ASSERT_TRUE(waitFor([&] { return sent; }, 10000));
    }
    EXPECT_EQ(keptUids(), (std::map<QString, int>{{m.uid, 1}}));
    EXPECT_EQ(waitingInOutbox(), 0);
}

// The child's part: saves until killed, each through the writer that falls back on the
// outbox, telling each once the writer has it kept or waiting on disk.
TEST(OutboxChild, SavesUntilKilled) {
    const QString path = qEnvironmentVariable(kOutboxChildDb);
    if (path.isEmpty()) {
        GTEST_SKIP() << "run by SigkillDuringABurstWithTheOutboxInPlayLosesAndDoublesNothing";
    }
    RecordWriter writer(StoreLocation::sqliteFile(path));
    writer.retryDelayMs = 1;
    writer.retries = 1;
    writer.start();
    for (int i = 0;; ++i) {
        const Measurement m =
            withUid(i % 3 ? curveRecord(500 + static_cast<std::size_t>(i)) : compressionRecord());
        writer.save(m);
        std::printf("handed %s\n", qPrintable(m.uid));
        std::fflush(stdout);
        if (i % 10 == 9) {
            writer.send(); // as its timer would, between results
        }
    }
}

TEST_F(OutboxTest, SigkillDuringABurstWithTheOutboxInPlayLosesAndDoublesNothing) {
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kOutboxChildDb), path());
    child.setProcessEnvironment(env);
    std::set<QString> handed;
    ChildLines lines(child);
    const auto takeOutput = [&] {
        lines.read("handed ",
                   [&](const QByteArray& uid) { handed.insert(QString::fromLatin1(uid)); });
    };
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=OutboxChild.SavesUntilKilled")});
    ASSERT_TRUE(child.waitForStarted());
    // The records are locked and let go again while the child saves: some results go
    // straight in, some wait, some are sent from the outbox.
    for (std::size_t round = 1; round <= 3; ++round) {
        {
            RawDatabase other(path());
            other.exec(QStringLiteral("BEGIN IMMEDIATE"));
            ASSERT_TRUE(waitFor(
                [&] {
                    takeOutput();
                    return handed.size() >= round * 15 || child.state() == QProcess::NotRunning;
                },
                60000));
            other.exec(QStringLiteral("ROLLBACK"));
        }
        ASSERT_TRUE(waitFor(
            [&] {
                takeOutput();
                return handed.size() >= round * 15 + 10 || child.state() == QProcess::NotRunning;
            },
            60000));
    }
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    takeOutput();

    { // the next start sends what waits
        RecordWriter writer(StoreLocation::sqliteFile(path()));
        writer.start();
    }
    const std::map<QString, int> kept = keptUids();
    for (const QString& uid : handed) {
        ASSERT_EQ(kept.count(uid), 1u) << "lost: " << uid.toStdString();
    }
    for (const auto& [uid, times] : kept) {
        EXPECT_EQ(times, 1) << "kept twice: " << uid.toStdString();
    }
    EXPECT_EQ(waitingInOutbox(), 0);
    RawDatabase raw(path());
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
}
