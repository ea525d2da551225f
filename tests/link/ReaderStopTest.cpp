#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/RecordingDialogService.h"

#include "support/WaitFor.h"
#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

// A device that sends as fast as it can, checked out and in a thousand times: stopping
// never deadlocks, and no handler runs once the check-in has returned, whether the stop
// comes from the event loop or from inside the handler itself.
TEST(ReaderStop, StopUnderLoadNeverDeadlocksNorRunsAHandlerAfterwards) {
    VirtualHidPlatform platform;
    test::RecordingDialogService dialogs;
    auto tester = std::make_shared<VirtualHidDevice>();
    tester->attributes = {0x04D8, 0xF394, 1};
    std::vector<std::uint8_t> flood(65, 0);
    flood[1] = 'K';
    tester->flood(flood);
    platform.plug(tester);

    THidDeviceController controller(platform, dialogs);
    bool found = false;
    controller.OnDeviceChange = [&](THidDeviceController&) { found = true; };
    ASSERT_TRUE(test::waitFor([&] { return found; }, 5000));

    THidDevice* dev = nullptr;
    bool stopped = true;
    int afterStop = 0;
    long long handled = 0;
    int stopAt = 0;
    controller.OnDeviceData = [&](THidDevice&, std::uint8_t, const std::uint8_t* data,
                                  std::uint16_t size) {
        if (stopped) {
            ++afterStop;
        }
        ++handled;
        EXPECT_EQ(size, 64);
        EXPECT_EQ(data[0], 'K');
        if (--stopAt == 0) {
            controller.CheckIn(dev); // stop from inside the handler
            stopped = true;
        }
    };

    for (int round = 0; round < 1000; ++round) {
        // Devices copy the data handler when they are created: take a fresh one.
        controller.devices()[0]->OnData = controller.OnDeviceData;
        stopAt = 1 + round % 5;
        stopped = false;
        ASSERT_TRUE(controller.CheckOutByID(dev, 1240, 62356));
        if (round % 2 == 0) {
            // Stop from the event loop while reports keep coming.
            QTimer::singleShot(0, [&] {
                if (!stopped) {
                    controller.CheckIn(dev);
                    stopped = true;
                }
            });
        }
        ASSERT_TRUE(test::waitFor([&] { return stopped; }, 5000)) << "round " << round;
        test::drainEvents(); // any delivery already queued must do nothing
    }
    test::drainEvents();
    EXPECT_EQ(afterStop, 0);
    EXPECT_GT(handled, 0);
}
