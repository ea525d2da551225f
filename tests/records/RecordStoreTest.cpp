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

TEST_F(RecordStoreTest, ASavedRecordComesBackAsItWasNewestFirst) {
    RecordStore store;
    ASSERT_TRUE(store.open(path())) << store.lastError().toStdString();
    EXPECT_EQ(store.mode(), RecordStore::Mode::ReadWrite);

    Measurement petrol = compressionRecord();
    // Any Unicode, including what the reports cannot print and what CSV must quote.
    petrol.vehicle = {QStringLiteral("Ğ-ÑÜ 1234 😀"),       QStringLiteral("WVWZZZ1JZXW000001"),
                      QStringLiteral("VW Golf; \"GTI\""),  QStringLiteral("123 456 km"),
                      QStringLiteral("Åsa Öberg"),         QStringLiteral("Chen Wei 陈伟"),
                      QStringLiteral("line one\nline two")};
    const Measurement oil = curveRecord(65534);
    const std::optional<RecordId> first = store.save(petrol);
    const std::optional<RecordId> second = store.save(oil);
    ASSERT_TRUE(first && second);

    const std::optional<Measurement> back = store.load(*first);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->measuredAt, petrol.measuredAt);
    EXPECT_EQ(back->cylinders, petrol.cylinders);
    EXPECT_EQ(back->vehicle, petrol.vehicle);
    EXPECT_EQ(back->functionName, petrol.functionName);
    EXPECT_EQ(back->firmwareVersion, 12);
    EXPECT_TRUE(back->samples.empty());
    const std::optional<Measurement> curve = store.load(*second);
    ASSERT_TRUE(curve);
    EXPECT_EQ(curve->samples, oil.samples); // bit for bit: v / 10 both ways
    EXPECT_FALSE(curve->isCompression());
    EXPECT_TRUE(curve->vehicle.isEmpty());

    const auto rows = store.list();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].id, *second); // measured a day later
    EXPECT_FALSE((*rows)[0].compression);
    EXPECT_EQ((*rows)[0].first, 999.9); // the peak of 0..9999 tenths
    EXPECT_EQ((*rows)[0].second, oil.samples.back());
    EXPECT_TRUE((*rows)[1].compression);
    EXPECT_EQ((*rows)[1].first, 0.0);
    EXPECT_EQ((*rows)[1].second, 13.0);
    EXPECT_EQ((*rows)[1].spreadPercent, 100.0);
}

TEST_F(RecordStoreTest, VehicleDetailsChangeAndRecordsGoWithoutReusingTheirNumbers) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    const RecordId a = *store.save(compressionRecord());
    const RecordId b = *store.save(compressionRecord());
    VehicleDetails v;
    v.plate = QStringLiteral("AB-123");
    ASSERT_TRUE(store.updateVehicle(a, v));
    EXPECT_EQ(store.load(a)->vehicle, v);
    EXPECT_TRUE(store.load(b)->vehicle.isEmpty());

    const std::vector<RecordId> gone{b};
    ASSERT_TRUE(store.remove(gone));
    EXPECT_FALSE(store.load(b));
    EXPECT_EQ(store.lastFault(), Fault::Gone);
    // As when another program sharing the file deleted it: the details went nowhere.
    EXPECT_FALSE(store.updateVehicle(b, v));
    EXPECT_EQ(store.lastFault(), Fault::Gone);
    EXPECT_EQ(store.list()->size(), 1u);
    EXPECT_GT(*store.save(compressionRecord()), b);
}

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
