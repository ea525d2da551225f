// A 65,534-sample high-pressure download from the virtual tester, answering at once,
// through the real reader thread, hand-off, dispatch, chart append and progress bar.
// Prints samples per second and the growth of peak memory.
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/DialogService.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "link/virtual/VirtualTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

class NoDialogs : public kr90x::DialogService {
public:
    void showBox(const kr90x::MessageBox&) override {}
};

long long peakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    kr90x::AppState state;
    NoDialogs dialogs;
    kr90x::VirtualHidPlatform hid;
    auto tester = kr90x::VirtualTester::create();
    tester->sampleCounts[0] = 65535;
    kr90x::TForm1 form(state, dialogs, hid);
    form.show();
    hid.plug(tester->device());

    QElapsedTimer clock;
    long long before = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!clock.isValid() && state.DeviceFirmwareVersion == 12) {
            before = peakKib();
            clock.start();
            form.RadioGroup1->setItemIndex(2);
            form.btnReaddata->click();
        } else if (clock.isValid() && form.Chart2->isVisible()) {
            const double seconds = clock.nsecsElapsed() / 1e9;
            const long long after = peakKib();
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
