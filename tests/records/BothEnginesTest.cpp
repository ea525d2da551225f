// What the records do, on both engines they run on: a SQLite file of this PC, and a
// PostgreSQL server of the test's own that the workshop's PCs would share.
#include "RecordsFixture.h"
#include "support/PgCluster.h"

#include "core/NumberFormat.h"
#include "records/RecordCopy.h"
#include "records/RecordsModel.h"

#include <memory>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

class BothEngines : public ::testing::TestWithParam<Engine> {
protected:
    QTemporaryDir dir;
    std::unique_ptr<PgCluster> server;

    void SetUp() override {
        if (GetParam() == Engine::SQLite) {
            return;
        }
        server = std::make_unique<PgCluster>();
        const QString error = server->startWorkshop();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    StoreLocation where() const {
        return server ? server->workshop()
                      : StoreLocation::sqliteFile(dir.filePath(QStringLiteral("records.sqlite")));
    }
};

std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Records, BothEngines,
                         ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

TEST_P(BothEngines, ASavedRecordComesBackAsItWasNewestFirst) {
    RecordStore store;
    ASSERT_TRUE(store.open(where())) << store.lastError().toStdString();
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

TEST_P(BothEngines, VehicleDetailsChangeAndRecordsGoWithoutReusingTheirNumbers) {
    RecordStore store;
    ASSERT_TRUE(store.open(where()));
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

// The list counts and searches in SQL and reads a page at a time: the search folds case
// beyond ASCII, takes % and _ as they are, and rows from any page are the right ones.
TEST_P(BothEngines, TheSearchNarrowsToRecordsHoldingEveryWord) {
    RecordStore store;
    ASSERT_TRUE(store.open(where()));
    Measurement oil = test::curveRecord(3);
    oil.vehicle.plate = QStringLiteral("AB-123");
    oil.vehicle.customer = QStringLiteral("Åsa Öberg");
    Measurement petrol = test::compressionRecord(QStringLiteral("ab-999"));
    petrol.cylinders = CylinderValues{13.0, 9.8, 12.0, 12.5, 13.0, 12.9};
    petrol.measuredAt = oil.measuredAt.addSecs(60);
    Measurement gasket = test::compressionRecord();
    gasket.vehicle.notes = QStringLiteral("new head gasket, 100% done_");
    gasket.measuredAt = oil.measuredAt.addSecs(120);
    gasket.virtualTester = true;
    const RecordId oilId = *store.save(oil);
    const RecordId petrolId = *store.save(petrol);
    const RecordId gasketId = *store.save(gasket);

    FormatSettings format{QLatin1Char(','), QLatin1Char('.')};
    RecordsModel model(format);
    ASSERT_TRUE(model.setStore(&store));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.record(0).id, gasketId) << "newest first";

    model.setFilter(QStringLiteral("ab"));
    EXPECT_EQ(model.rowCount(), 2);
    model.setFilter(QStringLiteral("AB petrol"));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.record(0).id, petrolId);
    EXPECT_EQ(model.data(model.index(0, RecordsModel::Summary)).toString(),
              QStringLiteral("Lowest 9,8 bar, highest 13,0 bar, spread 24,6 %"));
    model.setFilter(QStringLiteral("ÅSA"));
    EXPECT_EQ(model.rowOf(oilId), 0);
    model.setFilter(QStringLiteral("gasket 100% done_ virtual"));
    EXPECT_EQ(model.rowOf(gasketId), 0);
    EXPECT_EQ(model.rowOf(oilId), -1);
    model.setFilter(QStringLiteral("1000% d_ne"));
    EXPECT_EQ(model.rowCount(), 0) << "% and _ are no wildcards";
    model.setFilter({});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.totalCount(), 3);

    // Rows from pages far apart, and a record's row among many.
    std::vector<RecordId> ids;
    for (int i = 0; i < 3 * RecordsModel::kPageRows; ++i) {
        Measurement m = test::compressionRecord(QStringLiteral("MANY-%1").arg(i));
        m.measuredAt = oil.measuredAt.addDays(1 + i);
        ids.push_back(*store.save(m));
    }
    ASSERT_TRUE(model.refresh());
    EXPECT_EQ(model.rowCount(), 3 * RecordsModel::kPageRows + 3);
    for (int row : {0, RecordsModel::kPageRows - 1, RecordsModel::kPageRows,
                    3 * RecordsModel::kPageRows - 1}) {
        const RecordId want = ids[ids.size() - 1 - static_cast<std::size_t>(row)];
        EXPECT_EQ(model.record(row).id, want) << row;
        EXPECT_EQ(model.rowOf(want), row);
    }
    EXPECT_EQ(model.record(3 * RecordsModel::kPageRows + 2).id, oilId);
}

TEST_P(BothEngines, AResultIsKeptOnceWhateverItsTextsHold) {
    RecordStore store;
    ASSERT_TRUE(store.open(where())) << store.lastError().toStdString();
    Measurement m = compressionRecord(QStringLiteral("NUL\u0000IN"));
    m.vehicle.notes = QStringLiteral("quote ' backslash \\ percent % \u0000 end");
    m.uid = QStringLiteral("one-result");
    const std::optional<RecordId> first = store.save(m);
    ASSERT_TRUE(first) << store.lastError().toStdString();
    // A try cut off after its commit, made again: the same record, not a second one.
    EXPECT_EQ(store.save(m), first);
    EXPECT_EQ(store.idOf(m.uid), first);
    EXPECT_EQ(store.count({}), 1);
    const std::optional<Measurement> back = store.load(*first);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->vehicle.plate, QStringLiteral("NUL\uFFFDIN"));
    EXPECT_EQ(back->vehicle.notes, QStringLiteral("quote ' backslash \\ percent % \uFFFD end"));
    EXPECT_EQ(store.count({QStringLiteral("nul\uFFFDin")}), 1);
}

TEST_P(BothEngines, ACopyOfAFileKeepsEachRecordOnceAndPassesOverADamagedOne) {
    QTemporaryDir other;
    const QString file = other.filePath(QStringLiteral("records.sqlite"));
    RecordStore from;
    ASSERT_TRUE(from.open(file));
    ASSERT_TRUE(from.save(compressionRecord(QStringLiteral("NO-UID")))); // as kept of old
    Measurement good = curveRecord(300);
    good.uid = QStringLiteral("curve-good");
    ASSERT_TRUE(from.save(good));
    Measurement bad = curveRecord(300);
    bad.uid = QStringLiteral("curve-bad");
    const RecordId badId = *from.save(bad);
    {
        RawDatabase raw(file);
        raw.exec(QStringLiteral("UPDATE record_samples SET samples = x'00' WHERE record_id = %1")
                     .arg(badId));
    }
    RecordStore to;
    ASSERT_TRUE(to.open(where())) << to.lastError().toStdString();
    const Result<CopyCount, QString> first = copyRecords(from, to);
    ASSERT_TRUE(first) << first.error().toStdString();
    EXPECT_EQ(first->copied, 2);
    EXPECT_EQ(first->unreadable, 1);
    const Result<CopyCount, QString> again = copyRecords(from, to);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->copied, 0);
    EXPECT_EQ(again->keptAlready, 2);
    EXPECT_EQ(to.count({}), 2);
    EXPECT_EQ(to.count({QStringLiteral("no-uid")}), 1);
}
