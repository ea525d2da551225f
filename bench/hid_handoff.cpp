// Reader-to-main-thread hand-off: reports per second handed from a device that answers
// at once, through the reader thread, to an empty handler on the main thread.
#include "BenchSupport.h"
#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = 5;
    const long long reportsPerRun = 200000;

    kr90x::VirtualHidPlatform platform;
    kr90x::bench::NoDialogs dialogs;
    auto device = std::make_shared<kr90x::VirtualHidDevice>();
    device->attributes = {0x04D8, 0xF394, 1};
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 'K';
    device->flood(report);
    platform.plug(device);

    kr90x::THidDeviceController controller(platform, dialogs);
    long long handled = 0;
    QElapsedTimer clock;
    std::vector<double> rates;
    kr90x::THidDevice* dev = nullptr;

    controller.OnDeviceData = [&](kr90x::THidDevice&, std::uint8_t, const std::uint8_t*,
                                  std::uint16_t) {
        if (++handled == reportsPerRun) {
            rates.push_back(reportsPerRun / (clock.nsecsElapsed() / 1e9));
            controller.CheckIn(dev);
            if (static_cast<int>(rates.size()) == runs) {
                QCoreApplication::quit();
            } else {
                QTimer::singleShot(0, [&] {
                    handled = 0;
                    clock.start();
                    controller.CheckOutByID(dev, 1240, 62356);
                });
            }
        }
    };
    controller.OnDeviceChange = [&](kr90x::THidDeviceController& c) {
        if (!dev) {
            clock.start();
            c.devices()[0]->OnData = c.OnDeviceData;
            c.CheckOutByID(dev, 1240, 62356);
        }
    };
    QCoreApplication::exec();

    for (std::size_t i = 0; i < rates.size(); ++i) {
        std::printf("run %zu: %.0f reports/s (%.2f us each)\n", i + 1, rates[i], 1e6 / rates[i]);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("median: %.0f reports/s handed over and handled (target >= 50000)\n",
                rates[rates.size() / 2]);
    return 0;
}
