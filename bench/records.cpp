// The workshop records' figures: saving a 65,534-sample curve, its CSV export, and the
// records window with 10,000 records from the click to its first paint. Medians of
// several runs, on files in a folder of their own.
//   bench_records                    prints the figures
//   bench_records --fill FILE COUNT  writes COUNT records into FILE (for bench/records_startup.sh)
#include "BenchSupport.h"
#include "app/RecordsWindow.h"
#include "app/TForm1.h"
#include "app/WorkshopRecords.h"
#include "core/AppState.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "records/CsvExport.h"
#include "records/RecordStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace kr90x;

namespace {

constexpr std::size_t kCurveSamples = 65534;
constexpr int kRuns = 15;

records::Measurement curve(std::size_t samples) {
    records::Measurement m;
    m.measuredAt = QDateTime::currentDateTimeUtc();
    m.function = 2;
    m.functionName = QStringLiteral("High pressure common rail");
    m.unit = QStringLiteral("bar");
    m.decimals = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        m.samples.push_back(static_cast<double>(1000 + (i * 7) % 900));
    }
    m.programVersion = QStringLiteral("1.04");
    m.vehicle.plate = QStringLiteral("AB-1234");
    return m;
}

// COUNT records in one transaction: a store saves each on its own, which is what the
// program wants and what would make filling ten thousand slow.
bool fill(const QString& path, int count) {
    {
        records::RecordStore store;
        if (!store.open(path) || !store.save(curve(200))) {
            return false;
        }
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    bool ok = db.open() && db.transaction();
    QSqlQuery q(db);
    // Copies of the first record a day apart, compressions in between; the curves' samples
    // in their own table, as the store keeps them.
    ok =
        ok &&
        q.exec(QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                   "INSERT INTO records (measured_at, test_function, function_name, unit, "
                   "decimals, cylinder_1, cylinder_2, cylinder_3, cylinder_4, cylinder_5, "
                   "cylinder_6, sample_count, peak, last_value, firmware_version, "
                   "program_version, plate, customer) "
                   "SELECT measured_at - i * 86400000, CASE WHEN i % 3 = 0 THEN 0 ELSE 2 END, "
                   "CASE WHEN i % 3 = 0 THEN 'Petrol Compression' ELSE function_name END, "
                   "unit, decimals, "
                   "CASE WHEN i % 3 = 0 THEN 12.5 END, CASE WHEN i % 3 = 0 THEN 13.0 END, "
                   "CASE WHEN i % 3 = 0 THEN 9.8 END, CASE WHEN i % 3 = 0 THEN 11.0 END, "
                   "CASE WHEN i % 3 = 0 THEN 12.0 END, CASE WHEN i % 3 = 0 THEN 11.5 END, "
                   "CASE WHEN i % 3 = 0 THEN NULL ELSE sample_count END, peak, "
                   "last_value, firmware_version, program_version, 'PL-' || i, "
                   "'Customer ' || (i % 250) FROM records, n")
                   .arg(count - 1)) &&
        q.exec(QStringLiteral("INSERT INTO record_samples (record_id, samples) "
                              "SELECT id, (SELECT samples FROM record_samples WHERE record_id = 1) "
                              "FROM records WHERE id > 1 AND cylinder_1 IS NULL")) &&
        db.commit();
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

// Paint events of the records list reach this object first.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--fill") {
        return fill(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3])) ? 0 : 1;
    }
    QTemporaryDir dir;
    const records::Measurement m = curve(kCurveSamples);

    std::vector<double> saves, exports;
    {
        records::RecordStore store;
        if (!store.open(dir.filePath(QStringLiteral("save.sqlite")))) {
            std::fprintf(stderr, "cannot open: %s\n", qPrintable(store.lastError()));
            return 1;
        }
        for (int i = 0; i < kRuns; ++i) {
            QElapsedTimer t;
            t.start();
            if (!store.save(m)) {
                return 1;
            }
            saves.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        const QByteArray csv = records::recordsCsv({&m, 1}, QLatin1Char(','));
        exports.push_back(t.nsecsElapsed() / 1e6);
        if (csv.size() < static_cast<qsizetype>(kCurveSamples)) {
            return 1;
        }
    }

    const QString many = dir.filePath(QStringLiteral("many.sqlite"));
    if (!fill(many, 10000)) {
        std::fprintf(stderr, "cannot fill the records\n");
        return 1;
    }
    std::vector<double> windows;
    for (int i = 0; i < 5; ++i) {
        AppState state;
        bench::NoDialogs dialogs;
        VirtualHidPlatform hid;
        TForm1 form(state, dialogs, hid, UpdateSettings{});
        form.show();
        form.records().openStore(many);
        QCoreApplication::processEvents();
        FirstPaint probe;
        QElapsedTimer t;
        t.start();
        form.btnRecords->click();
        RecordsWindow* w = form.records().recordsWindow();
        if (!w || w->model().rowCount() != 10000) {
            std::fprintf(stderr, "the records window did not list them\n");
            return 1;
        }
        w->table->viewport()->installEventFilter(&probe);
        if (!bench::waitUntil([&] { return probe.painted; }, 10000)) {
            std::fprintf(stderr, "the records window was never painted\n");
            return 1;
        }
        windows.push_back(t.nsecsElapsed() / 1e6);
    }

    std::printf("save of a %zu-sample curve: median %.2f ms (target <= 20)\n", kCurveSamples,
                bench::median(saves));
    std::printf("CSV export of a %zu-sample curve: median %.2f ms (target <= 100)\n", kCurveSamples,
                bench::median(exports));
    std::printf("records window with 10,000 records to first paint: median %.1f ms "
                "(target <= 200)\n",
                bench::median(windows));
    return 0;
}
