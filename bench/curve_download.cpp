// A 65,534-sample high-pressure download from the virtual tester, answering at once,
// through the real reader thread, hand-off, dispatch, chart append and progress bar.
// Prints samples per second and the growth of peak memory.
#include "BenchSupport.h"
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/ProcessStats.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "simulator/VirtualTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    kr90x::AppState state;
    kr90x::bench::NoDialogs dialogs;
    kr90x::VirtualHidPlatform hid;
    auto tester = kr90x::VirtualTester::create();
    tester->sampleCounts[0] = 65535;
    kr90x::TForm1 form(state, dialogs, hid, kr90x::UpdateSettings{});
    form.show();
    hid.plug(tester->device());

    QElapsedTimer clock;
    long long before = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!clock.isValid() && state.DeviceFirmwareVersion == 12) {
            before = kr90x::peakResidentKib();
            clock.start();
            form.RadioGroup1->setItemIndex(2);
            form.btnReaddata->click();
        } else if (clock.isValid() && form.Chart2->isVisible()) {
            const double seconds = clock.nsecsElapsed() / 1e9;
            const long long after = kr90x::peakResidentKib();
            std::printf("%d samples in %.2f s: %.0f samples/s (target >= 20000)\n",
                        form.Chart2->Series2.Count(), seconds,
                        form.Chart2->Series2.Count() / seconds);
            std::printf("peak memory %lld KiB before, %lld KiB after: growth %.1f MiB "
                        "(target < 30)\n",
                        before, after, (after - before) / 1024.0);
            QCoreApplication::quit();
        }
    });
    poll.start(1);
    return QApplication::exec();
}
