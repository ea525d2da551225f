// Files of earlier versions are brought up to date keeping every record as it was, and two
// programs that start at once on the same file end with one schema.
#include "RecordsFixture.h"

#include "records/SampleBlob.h"
#include "records/Schema.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlError>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

namespace {

constexpr char kMigrationChildDb[] = "KR90X_MIGRATION_CHILD_DB";

// A record of every kind the window keeps: compressions and each curve, short and long,
// with and without vehicle details, in any script.
Measurement recordNumber(int i) {
    Measurement m = i % 3 == 0 ? compressionRecord()
                               : curveRecord(static_cast<std::size_t>(1 + (i * 977) % 66000));
    m.measuredAt = m.measuredAt.addSecs(i * 61);
    m.function = i % 9;
    m.functionName = QStringLiteral("Function %1 ü").arg(i % 9);
    m.decimals = i % 3;
    if (i % 2) {
        m.vehicle = {QStringLiteral("P-%1").arg(i),       QStringLiteral("VIN%1").arg(i),
                     QStringLiteral("Škoda Octavia"),     QStringLiteral("%1 km").arg(i * 1000),
                     QStringLiteral("Åsa Öberg"),         QStringLiteral("Tech"),
                     QStringLiteral("line one\nline two")};
    }
    return m;
}

// A file as the previous version of the program wrote it: the samples inside each row.
void writeVersion2File(const QString& path, int count) {
    RawDatabase raw(path);
    const SqlDialect dialect(Engine::SQLite);
    ASSERT_TRUE(std::holds_alternative<int>(migrate(raw.db(), dialect, 2)));
    for (int i = 0; i < count; ++i) {
        const Measurement m = recordNumber(i);
        QSqlQuery q(raw.db());
        ASSERT_TRUE(q.prepare(QStringLiteral(
            "INSERT INTO records (measured_at, test_function, function_name, unit, decimals, "
            "cylinder_1, cylinder_2, cylinder_3, cylinder_4, cylinder_5, cylinder_6, "
            "sample_count, samples, peak, last_value, firmware_version, program_version, "
            "plate, vin, make_model, odometer, customer, technician, notes) VALUES "
            "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")));
        q.addBindValue(m.measuredAt.toMSecsSinceEpoch());
        q.addBindValue(m.function);
        q.addBindValue(m.functionName);
        q.addBindValue(m.unit);
        q.addBindValue(m.decimals);
        for (std::size_t n = 0; n < kCylinders; ++n) {
            q.addBindValue(m.cylinders ? QVariant((*m.cylinders)[n])
                                       : QVariant(QMetaType::fromType<double>()));
        }
        const CurveFigures f = curveFigures(m.samples);
        q.addBindValue(m.cylinders ? QVariant(QMetaType::fromType<int>())
                                   : QVariant(int(m.samples.size())));
        q.addBindValue(m.cylinders ? QVariant(QMetaType::fromType<QByteArray>())
                                   : QVariant(encodeSamples(m.samples, m.decimals)));
        q.addBindValue(m.cylinders ? QVariant(QMetaType::fromType<double>()) : QVariant(f.peak));
        q.addBindValue(m.cylinders ? QVariant(QMetaType::fromType<double>()) : QVariant(f.last));
        q.addBindValue(m.firmwareVersion);
        q.addBindValue(m.programVersion);
        for (const QString* v :
             {&m.vehicle.plate, &m.vehicle.vin, &m.vehicle.makeModel, &m.vehicle.odometer,
              &m.vehicle.customer, &m.vehicle.technician, &m.vehicle.notes}) {
            q.addBindValue(v->isNull() ? QStringLiteral("") : *v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
}

class MigrationTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("records.sqlite")); }
};

} // namespace

TEST_F(MigrationTest, TodaysFileKeepsEveryRecordOfEveryKindAndItsNumbers) {
    constexpr int kRecords = 100;
    writeVersion2File(path(), kRecords);
    {
        // The last record was deleted: its number is never given again.
        RawDatabase raw(path());
        raw.exec(QStringLiteral("DELETE FROM records WHERE id = %1").arg(kRecords));
    }
    RecordStore store;
    ASSERT_TRUE(store.open(path())) << store.lastError().toStdString();
    const std::optional<std::vector<RecordSummary>> rows = store.list();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), std::size_t(kRecords - 1));
    for (int i = 0; i < kRecords - 1; ++i) {
        const std::optional<Measurement> m = store.load(i + 1);
        ASSERT_TRUE(m) << i << store.lastError().toStdString();
        const Measurement want = recordNumber(i);
        EXPECT_EQ(m->measuredAt, want.measuredAt) << i;
        EXPECT_EQ(m->functionName, want.functionName) << i;
        EXPECT_EQ(m->cylinders, want.cylinders) << i;
        EXPECT_EQ(m->vehicle, want.vehicle) << i;
        ASSERT_EQ(m->samples.size(), want.samples.size()) << i;
        for (std::size_t k = 0; k < want.samples.size(); ++k) {
            ASSERT_NEAR(m->samples[k], want.samples[k], 1e-9) << i << " sample " << k;
        }
        EXPECT_FALSE(m->virtualTester);
    }
    // The search finds them as it finds new ones, by any word in any case.
    EXPECT_EQ(store.count({QStringLiteral("åsa"), QStringLiteral("škoda")}), (kRecords - 1) / 2);
    EXPECT_EQ(*store.save(compressionRecord()), kRecords + 1);

    RawDatabase raw(path());
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion);
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
    // The list's rows hold no samples any more.
    EXPECT_EQ(raw.value(QStringLiteral("SELECT count(*) FROM pragma_table_info('records') "
                                       "WHERE name = 'samples'"))
                  .toInt(),
              0);
    EXPECT_EQ(raw.value(QStringLiteral("SELECT count(*) FROM record_samples")).toInt(),
              (kRecords - 1) - (kRecords - 1 + 2) / 3);
}

// A file of another program, even one with a table of the same name, is refused and not
// written to: no journal switched, no table added.
TEST_F(MigrationTest, AFileOfAnotherProgramIsRefusedAndNotWritten) {
    {
        RawDatabase raw(path());
        raw.exec(QStringLiteral("CREATE TABLE records (x TEXT)"));
        raw.exec(QStringLiteral("INSERT INTO records VALUES ('theirs')"));
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    RecordStore store;
    EXPECT_FALSE(store.open(path()));
    EXPECT_EQ(store.lastFault(), Fault::Damaged);
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("another program")))
        << store.lastError().toStdString();
    store.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral("-wal")));
}

TEST_F(MigrationTest, RecordsAreKeptPrivateToTheirOwner) {
    RecordStore store;
    ASSERT_TRUE(store.open(path()));
    ASSERT_TRUE(store.save(curveRecord(10)));
    for (const QString& file : {path(), path() + QStringLiteral("-wal")}) {
        EXPECT_EQ(QFileInfo(file).permissions() & 0x0077, 0) << file.toStdString();
    }
    EXPECT_EQ(QFileInfo(dir.path()).permissions() & 0x0077, 0);
}

// The child's part: opens the store when told to, and says whether it could.
TEST(MigrationChild, OpensTheStore) {
    const QString path = qEnvironmentVariable(kMigrationChildDb);
    if (path.isEmpty()) {
        GTEST_SKIP() << "run by TwoProgramsStartingAtOnceEndWithOneSchema";
    }
    RecordStore store;
    const bool opened = store.open(path);
    std::printf("%s\n", opened ? "opened" : qPrintable(store.lastError()));
    std::fflush(stdout);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(store.save(compressionRecord()));
}

TEST_F(MigrationTest, TwoProgramsStartingAtOnceEndWithOneSchema) {
    for (const bool older : {false, true}) {
        QFile::remove(path());
        QFile::remove(path() + QStringLiteral("-wal"));
        QFile::remove(path() + QStringLiteral("-shm"));
        if (older) {
            writeVersion2File(path(), 30);
        }
        std::vector<std::unique_ptr<QProcess>> children;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kMigrationChildDb), path());
        for (int i = 0; i < 2; ++i) {
            auto child = std::make_unique<QProcess>();
            child->setProcessEnvironment(env);
            child->start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--gtest_filter=MigrationChild.OpensTheStore")});
            children.push_back(std::move(child));
        }
        for (const auto& child : children) {
            ASSERT_TRUE(child->waitForFinished(60000));
            EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardOutput().toStdString();
        }
        RecordStore store;
        ASSERT_TRUE(store.open(path()));
        EXPECT_EQ(store.list()->size(), older ? 32u : 2u);
        RawDatabase raw(path());
        EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), kSchemaVersion);
    }
}
