// The workshop records on a PostgreSQL server of the bench's own (as the tests start one):
// three PCs saving at once, a save seen in another PC's open records window, and the
// records window's first paint with 100,000 records on the server. Prints medians.
//   bench_records_server [COUNT]          the figures (COUNT records, 100000 by default)
//   bench_records_server --saver PORT N   one of the saving PCs (run by the first)
#include "BenchSupport.h"
#include "RecordsBench.h"
#include "app/RecordsWindow.h"
#include "app/TForm1.h"
#include "app/WorkshopRecords.h"
#include "core/AppState.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "records/RecordStore.h"
#include "records/RecordWriter.h"
#include "records/RecordsModel.h"
#include "support/PgCluster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace kr90x;

namespace {

const QString kDatabase = QStringLiteral("workshop");

records::StoreLocation at(int port, const QString& outbox) {
    records::StoreLocation l;
    l.engine = records::Engine::PostgreSQL;
    l.host = QStringLiteral("localhost");
    l.port = port;
    l.database = kDatabase;
    l.user = QStringLiteral("orvo");
    l.password = QStringLiteral("pw");
    l.outboxPath = outbox;
    return l;
}

// One PC keeping its results as the program does: through the writer, which tries the
// server at once and keeps in its outbox what it cannot take.
int saver(int port, int count) {
    QTemporaryDir dir;
    records::RecordWriter writer(at(port, dir.filePath(QStringLiteral("outbox.sqlite"))));
    writer.start();
    const records::Measurement base = bench::highPressureCurve(2000);
    for (int i = 0; i < count; ++i) {
        records::Measurement m = base;
        m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m.measuredAt = QDateTime::currentDateTimeUtc();
        QElapsedTimer t;
        t.start();
        writer.save(m);
        std::printf("saved %.3f\n", t.nsecsElapsed() / 1e6);
    }
    writer.send();
    return 0;
}

void threePcs(test::PgCluster& server) {
    std::vector<std::unique_ptr<QProcess>> pcs;
    for (int i = 0; i < 3; ++i) {
        pcs.push_back(std::make_unique<QProcess>());
        pcs.back()->start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--saver"), QString::number(server.port()), QStringLiteral("1000")});
    }
    std::vector<double> latencies;
    for (auto& pc : pcs) {
        pc->waitForFinished(600000);
        for (const QByteArray& line : pc->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2) {
                latencies.push_back(parts[1].toDouble());
            }
        }
    }
    const std::optional<QStringList> kept =
        server.sql(QStringLiteral("SELECT count(*) || ' kept, ' || count(DISTINCT uid) || "
                                  "' distinct' FROM records"),
                   kDatabase);
    std::printf("3 PCs x 1,000 saves: %s; save median %.2f ms, p99 %.2f ms (target: 3000 "
                "kept, p99 <= 30)\n",
                kept ? qPrintable(kept->value(0)) : "?", bench::median(latencies),
                bench::percentile(latencies, 0.99));
}

// Rows as the list reads them, made in SQL from one kept record of each kind; the curves'
// samples, which the list never reads, are left out.
bool fill(test::PgCluster& server, int count) {
    return server
        .sql(
            QStringLiteral(
                "INSERT INTO records (measured_at, test_function, function_name, unit, "
                "decimals, cylinder_1, cylinder_2, cylinder_3, cylinder_4, cylinder_5, "
                "cylinder_6, sample_count, peak, last_value, firmware_version, program_version, "
                "plate, customer, uid, search_text) "
                "SELECT t.measured_at - n::bigint * 600000, CASE WHEN n % 3 = 0 THEN 0 ELSE 2 END, "
                "CASE WHEN n % 3 = 0 THEN 'Petrol Compression' ELSE t.function_name END, "
                "t.unit, t.decimals, "
                "CASE WHEN n % 3 = 0 THEN 12.5 END, CASE WHEN n % 3 = 0 THEN 13.0 END, "
                "CASE WHEN n % 3 = 0 THEN 9.8 END, CASE WHEN n % 3 = 0 THEN 11.0 END, "
                "CASE WHEN n % 3 = 0 THEN 12.0 END, CASE WHEN n % 3 = 0 THEN 11.5 END, "
                "CASE WHEN n % 3 = 0 THEN NULL ELSE t.sample_count END, t.peak, t.last_value, "
                "t.firmware_version, t.program_version, 'PL-' || n, 'Customer ' || (n % 250), "
                "'fill-' || n, lower('pl-' || n || chr(10) || 'customer ' || (n % 250)) "
                "FROM generate_series(1, %1) n, (SELECT * FROM records ORDER BY id LIMIT 1) t; "
                "ANALYZE records")
                .arg(count),
            kDatabase)
        .has_value();
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--saver")) {
        return saver(args[2].toInt(), args[3].toInt());
    }
    const int count = args.size() > 1 ? std::max(100, args[1].toInt()) : 100000;
    test::PgCluster server;
    if (const QString error = server.startWorkshop(); !error.isEmpty()) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    const records::StoreLocation where =
        at(server.port(), dir.filePath(QStringLiteral("outbox.sqlite")));
    {
        records::RecordStore schema; // made by one PC before the others start
        schema.open(where);
    }
    threePcs(server);

    AppState state;
    bench::NoDialogs dialogs;
    VirtualHidPlatform hid;
    TForm1 form(state, dialogs, hid, UpdateSettings{});
    form.show();
    form.records().openStore(where);
    QCoreApplication::processEvents();
    form.btnRecords->click();
    RecordsWindow* w = form.records().recordsWindow();
    records::RecordStore otherPc;
    if (!w || !otherPc.open(where)) {
        std::fprintf(stderr, "no records window, or no second PC\n");
        return 1;
    }
    std::vector<double> seen;
    for (int i = 0; i < 20; ++i) {
        const int before = w->model().rowCount();
        QElapsedTimer t;
        t.start();
        if (!otherPc.save(bench::highPressureCurve(2000)) ||
            !bench::waitUntil([&] { return w->model().rowCount() == before + 1; }, 10000)) {
            std::fprintf(stderr, "another PC's save did not reach the window\n");
            return 1;
        }
        seen.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("another PC's save in the open records window: median %.0f ms, slowest %.0f ms "
                "(target <= 1000)\n",
                bench::median(seen), *std::max_element(seen.begin(), seen.end()));
    delete w;

    if (!fill(server, count)) {
        std::fprintf(stderr, "cannot fill the records: %s\n", qPrintable(server.lastError()));
        return 1;
    }
    std::vector<double> firstPaint;
    for (int run = 0; run < 5; ++run) {
        TForm1 pc(state, dialogs, hid, UpdateSettings{});
        pc.show();
        pc.records().openStore(where);
        QCoreApplication::processEvents();
        bench::FirstPaint probe;
        QElapsedTimer t;
        t.start();
        pc.btnRecords->click();
        RecordsWindow* list = pc.records().recordsWindow();
        if (!list || list->model().rowCount() < count) {
            std::fprintf(stderr, "the records window did not list them\n");
            return 1;
        }
        list->table->viewport()->installEventFilter(&probe);
        if (!bench::waitUntil([&] { return probe.painted; }, 60000)) {
            return 1;
        }
        firstPaint.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("records window with %d records on the server to first paint: median %.1f ms, "
                "first %.1f ms (target <= 300)\n",
                count, bench::median(firstPaint), firstPaint.front());
    return 0;
}
