// A program killed outright in the middle of a burst of saves: every record it reported
// saved is there afterwards, and the file is sound. The burst runs in a child: this test
// program again, told by its environment to run only the saving case.
#include "RecordsFixture.h"

#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <set>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {
constexpr char kChildDatabase[] = "KR90X_CRASH_CHILD_DB";
constexpr int kSavesBeforeKill = 60;
} // namespace

// The child's part: saves until it is killed, telling each record once it is saved.
TEST(RecordsCrash, ChildSavesUntilKilled) {
    const QString path = qEnvironmentVariable(kChildDatabase);
    if (path.isEmpty()) {
        GTEST_SKIP() << "run by SigkillDuringABurstLosesNoSavedRecord";
    }
    RecordStore store;
    ASSERT_TRUE(store.open(path));
    for (int i = 0;; ++i) {
        const std::optional<RecordId> id = store.save(
            i % 3 ? curveRecord(2000 + static_cast<std::size_t>(i)) : compressionRecord());
        ASSERT_TRUE(id) << store.lastError().toStdString();
        std::printf("saved %lld\n", static_cast<long long>(*id));
        std::fflush(stdout);
    }
}

TEST(RecordsCrash, SigkillDuringABurstLosesNoSavedRecord) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildDatabase), path);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    std::set<RecordId> reported;
    ChildLines lines(child);
    const auto takeOutput = [&] {
        lines.read("saved ", [&](const QByteArray& id) { reported.insert(id.toLongLong()); });
    };
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RecordsCrash.ChildSavesUntilKilled")});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(waitFor(
        [&] {
            takeOutput();
            return reported.size() >= kSavesBeforeKill || child.state() == QProcess::NotRunning;
        },
        60000));
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    takeOutput(); // what it reported before it died counts too

    {
        RawDatabase raw(path);
        EXPECT_EQ(raw.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
    }
    RecordStore store;
    ASSERT_TRUE(store.open(path));
    std::set<RecordId> kept;
    const std::vector<RecordSummary> rows = store.list().value_or(std::vector<RecordSummary>{});
    for (const RecordSummary& r : rows) {
        kept.insert(r.id);
    }
    for (RecordId id : reported) {
        EXPECT_TRUE(kept.count(id)) << "record " << id << " was reported saved";
        EXPECT_TRUE(store.load(id)) << "record " << id << " reads back whole";
    }
    EXPECT_GE(reported.size(), static_cast<std::size_t>(kSavesBeforeKill));
}
