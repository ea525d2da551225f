// The Linux device path end to end, on a fake hidraw node (umockdev) with the simulated
// tester answering through it: the time of one command/reply exchange (the version
// question, from the write to the handled reply) and of a 999-sample high-pressure
// download, from Read data to the shown curve.
// Run: build/bench/bench_real_device_path  (restarts itself with umockdev's preload)
#include "BenchSupport.h"
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "charts/PressureChart.h"
#include "link/linux/LinuxHidPlatform.h"
#include "protocol/Commands.h"
#include "simulator/PtyTester.h"
#include "simulator/Testbed.h"
#include "simulator/VirtualTester.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace kr90x;

namespace {} // namespace

int main(int argc, char** argv) {
    sim::Testbed::ensurePreloaded(argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    sim::Testbed bed;
    const sim::Testbed::Device node = bed.plug({});
    auto logic = VirtualTester::create();
    logic->sampleCounts[0] = 1000; // 999 samples
    sim::PtyTester tester(node.master, logic);

    AppState state;
    bench::NoDialogs dialogs;
    LinuxHidPlatform hid;
    TForm1 form(state, dialogs, hid, UpdateSettings{});
    if (!bench::waitUntil([&] { return state.DeviceFirmwareVersion == 12; }, 10000)) {
        std::fprintf(stderr, "the tester was not found\n");
        return 1;
    }

    constexpr int kExchanges = 2000;
    std::vector<double> rounds;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kExchanges; ++i) {
            state.DeviceFirmwareVersion = 0;
            form.SendCommand(QString::fromLatin1(kVersionCommand), nullptr);
            if (!bench::waitUntil([&] { return state.DeviceFirmwareVersion == 12; }, 10000)) {
                std::fprintf(stderr, "no reply\n");
                return 1;
            }
        }
        rounds.push_back(double(t.nsecsElapsed()) / kExchanges / 1000.0);
    }
    std::printf("command/reply exchange: median %.1f us over 5 rounds of %d\n",
                bench::median(rounds), kExchanges);

    std::vector<double> downloads;
    form.RadioGroup1->setItemIndex(2);
    for (int round = 0; round < 5; ++round) {
        form.btnHome->click();
        QElapsedTimer t;
        t.start();
        form.btnReaddata->click();
        if (!bench::waitUntil([&] { return form.Chart2->isVisibleTo(&form); }, 60000)) {
            std::fprintf(stderr, "the download did not finish\n");
            return 1;
        }
        downloads.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("999-sample high-pressure download: median %.1f ms (%.0f samples/s)\n",
                bench::median(downloads), 999 / (bench::median(downloads) / 1000.0));
    return 0;
}
