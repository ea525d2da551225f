// A long demo: 1,000 reads through the real window and the reader thread, going round
// all nine functions, with the virtual tester pulled out and plugged in again every 50
// reads. Prints the heap in use and the resident memory after the first 50 reads and at
// the end, and how many handler errors were shown (none is right).
// Run: build/bench/bench_virtual_soak
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "app/VirtualTesterSession.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "simulator/VirtualTester.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>

using namespace kr90x;

namespace {

// Counts the error boxes (handlers that failed); every other box is answered at once.
class CountingDialogs : public reports::ReportDialogs {
public:
    int errors = 0;
    int boxes = 0;
    void showBox(const MessageBox& box) override {
        ++boxes;
        if (box.icon == MessageBox::Icon::Error) {
            ++errors;
        }
    }
};

double heapMiB() {
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}
double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : -1;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TesterOptions options;
    options.pace = std::chrono::milliseconds(0); // as fast as it goes: the memory is measured
    VirtualTesterSession session(options);
    AppState state;
    CountingDialogs dialogs;
    TForm1 form(state, dialogs, session.platform(), UpdateSettings{});
    if (!bench::waitUntil([&] { return state.TesterDevice != nullptr; }, 10000)) {
        std::fprintf(stderr, "no tester\n");
        return 1;
    }

    constexpr int kReads = 1000;
    double heapAt50 = 0, rssAt50 = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kReads; ++i) {
        if (i > 0 && i % 50 == 0) {
            session.unplug();
            bench::waitUntil([&] { return state.TesterDevice == nullptr; }, 10000);
            session.plug();
            bench::waitUntil([&] { return state.TesterDevice != nullptr; }, 10000);
        }
        const int function = i % 9;
        // A different stored test for each function of the high-pressure channel.
        session.tester().options.stored = function == 6   ? StoredTest::Oil
                                          : function == 7 ? StoredTest::LowPressure
                                          : function == 8 ? StoredTest::Manometer
                                                          : StoredTest::Rail;
        form.btnHome->click();
        form.RadioGroup1->setItemIndex(function);
        form.btnReaddata->click();
        QWidget* result =
            function <= 1 ? static_cast<QWidget*>(form.chart1) : static_cast<QWidget*>(form.Chart2);
        if (!bench::waitUntil([&] { return result->isVisibleTo(&form); }, 30000)) {
            std::fprintf(stderr, "read %d (function %d) did not finish\n", i, function);
            return 1;
        }
        if (i + 1 == 50) {
            malloc_trim(0);
            heapAt50 = heapMiB();
            rssAt50 = residentMiB();
        }
    }
    malloc_trim(0);
    const double heapEnd = heapMiB();
    const double rssEnd = residentMiB();
    std::printf("%d reads in %.1f s, %d unplugs\n", kReads, clock.elapsed() / 1000.0,
                kReads / 50 - 1);
    std::printf("heap in use: %.2f MiB after 50 reads, %.2f MiB after %d: growth %.2f MiB "
                "(target <= 2)\n",
                heapAt50, heapEnd, kReads, heapEnd - heapAt50);
    std::printf("resident: %.2f MiB after 50 reads, %.2f MiB after %d: growth %.2f MiB\n", rssAt50,
                rssEnd, kReads, rssEnd - rssAt50);
    std::printf("handler errors shown: %d\n", dialogs.errors);
    return dialogs.errors == 0 ? 0 : 1;
}
