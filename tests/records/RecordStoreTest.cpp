// The store on real SQLite files: what is saved comes back as it was, old files are
// brought up to date, newer ones are left alone, and every fault is a message, not a stop.
#include "RecordsFixture.h"

#include "core/ProcessStats.h"
#include "records/SampleBlob.h"

#include <QCryptographicHash>
#include <QFile>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

class RecordStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("data/records.sqlite")); }
    QByteArray fileHash() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    }
};

} // namespace

TEST_F(RecordStoreTest, ANewerFileIsOpenedReadOnlyAndLeftAsItIs) {
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
        ASSERT_TRUE(store.save(compressionRecord(QStringLiteral("NEW-9"))));
    }
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion + 1));
        raw.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const QByteArray before = fileHash();

    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    EXPECT_TRUE(store.newerSchema());
    EXPECT_EQ(store.mode(), RecordStore::Mode::ReadOnly);
    EXPECT_EQ(store.list()->front().vehicle.plate, QStringLiteral("NEW-9"));
    EXPECT_FALSE(store.save(compressionRecord()));
    EXPECT_EQ(store.lastFault(), Fault::ReadOnly);
    EXPECT_FALSE(store.updateVehicle(store.list()->front().id, {}));
    store.close();

    EXPECT_EQ(fileHash(), before);
    RawDatabase raw(path());
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion + 1);
}

TEST_F(RecordStoreTest, FaultsAreToldInTheirOwnWords) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));

    // Locked: another program holds the write lock longer than a save waits.
    {
        RawDatabase other(path());
        other.exec(QStringLiteral("BEGIN IMMEDIATE"));
        EXPECT_FALSE(store.save(compressionRecord()));
        EXPECT_EQ(store.lastFault(), Fault::Busy);
        EXPECT_TRUE(store.lastError().startsWith(
            QStringLiteral("the records database is in use by another program")));
        other.exec(QStringLiteral("ROLLBACK"));
    }
    EXPECT_TRUE(store.save(compressionRecord())) << "free again";

    // Full: the file may not grow by the pages a long curve needs.
    const QStringList connections =
        QSqlDatabase::connectionNames().filter(QStringLiteral("kr90x-records-"));
    ASSERT_EQ(connections.size(), 1);
    QSqlQuery limit(QSqlDatabase::database(connections.front()));
    ASSERT_TRUE(limit.exec(QStringLiteral("PRAGMA max_page_count = 8")));
    EXPECT_FALSE(store.save(curveRecord(65534)));
    EXPECT_EQ(store.lastFault(), Fault::Full);
    EXPECT_EQ(store.list()->size(), 1u) << "nothing half-saved";
}

TEST_F(RecordStoreTest, AFileThatIsNoDatabaseIsDamagedAndStaysUntouched) {
    writeNonDatabase(path());
    const QByteArray before = fileHash();
    RecordStore store;
    EXPECT_FALSE(store.open(path()));
    EXPECT_EQ(store.lastFault(), Fault::Damaged);
    EXPECT_EQ(store.mode(), RecordStore::Mode::Closed);
    EXPECT_FALSE(store.save(compressionRecord()));
    EXPECT_EQ(fileHash(), before);
}

TEST_F(RecordStoreTest, ANegativeSchemaVersionIsDamagedAndStaysUntouched) {
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
        ASSERT_TRUE(store.save(compressionRecord(QStringLiteral("KEEP-1"))));
    }
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("PRAGMA user_version = -2000000000"));
        raw.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const QByteArray before = fileHash();
    RecordStore store;
    EXPECT_FALSE(store.open(path()));
    EXPECT_EQ(store.lastFault(), Fault::Damaged);
    EXPECT_EQ(store.mode(), RecordStore::Mode::Closed);
    EXPECT_EQ(fileHash(), before);
}

TEST_F(RecordStoreTest, AFileThatCannotBeWrittenIsToldAsSuch) {
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
    }
    // As root, only an immutable file cannot be written to.
    const ImmutableFile immutable(path());
    if (!immutable.made()) {
        GTEST_SKIP() << "chattr +i is not allowed here";
    }
    RecordStore store;
    const bool opened = store.open(path());
    const std::optional<RecordId> saved = opened ? store.save(compressionRecord()) : std::nullopt;
    EXPECT_FALSE(saved);
    EXPECT_EQ(store.lastFault(), Fault::ReadOnly) << store.lastError().toStdString();
}

TEST_F(RecordStoreTest, DamagedStoredValuesNeverReachTheProgram) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    const RecordId curve = *store.save(curveRecord(100));
    const RecordId odd = *store.save(curveRecord(3));
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("UPDATE record_samples SET samples = "
                                "x'4B5301010100000064000000' WHERE record_id = %1")
                     .arg(curve)); // 100 samples announced, none there
        raw.exec(QStringLiteral("UPDATE records SET decimals = 99, test_function = 77, "
                                "function_name = x'ff00' WHERE id = %1")
                     .arg(odd));
    }
    EXPECT_FALSE(store.load(curve));
    EXPECT_EQ(store.lastFault(), Fault::Damaged);
    const std::optional<Measurement> m = store.load(odd);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->decimals, kMaxDecimals);
    EXPECT_EQ(store.list()->size(), 2u) << "the list shows them all";
}

TEST_F(RecordStoreTest, OversizedStoredValuesAreCutOffBeforeTheyAreCopied) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    const RecordId curve = *store.save(curveRecord(100));
    const RecordId petrol = *store.save(compressionRecord());
    constexpr qsizetype kHugeBlob = 64 << 20;
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("UPDATE record_samples SET samples = zeroblob(%1) "
                                "WHERE record_id = %2")
                     .arg(kHugeBlob)
                     .arg(curve));
        raw.exec(QStringLiteral("UPDATE records SET notes = replace(hex(zeroblob(50000)), '0', "
                                "'n') WHERE id = %1")
                     .arg(petrol));
    }
    // From here on the peak counts only what reading the records takes.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    const long long before = peakResidentKib();

    EXPECT_FALSE(store.load(curve));
    EXPECT_EQ(store.lastFault(), Fault::Damaged);
    const std::optional<std::vector<RecordSummary>> rows = store.list();
    ASSERT_TRUE(rows);
    const RecordSummary& listed = rows->front().id == petrol ? rows->front() : rows->back();
    EXPECT_GE(listed.vehicle.notes.size(), 100) << "enough to search and show";
    EXPECT_LT(listed.vehicle.notes.size(), 100000);
    const std::optional<Measurement> whole = store.load(petrol);
    ASSERT_TRUE(whole);
    EXPECT_GE(whole->vehicle.notes.size(), listed.vehicle.notes.size());
    EXPECT_LT(whole->vehicle.notes.size(), 100000);
    if (peakReset && before > 0) {
        EXPECT_LT(peakResidentKib() - before, kHugeBlob / 1024 / 2)
            << "the oversized samples were copied out of the database";
    }
}

TEST_F(RecordStoreTest, AStatementThatCannotBePreparedSaysWhy) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    const RecordId id = *store.save(compressionRecord());
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("DROP TABLE records"));
    }
    const std::vector<RecordId> ids{id};
    EXPECT_FALSE(store.save(compressionRecord()));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("no such table")))
        << store.lastError().toStdString();
    EXPECT_FALSE(store.updateVehicle(id, {}));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("no such table")));
    EXPECT_FALSE(store.remove(ids));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("no such table")));
    EXPECT_FALSE(store.load(id));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("no such table")));
}
