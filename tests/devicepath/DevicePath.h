#pragma once

#include "app/StatusPanels.h"
#include "app/TForm1.h"
#include "link/THidDeviceController.h"
#include "link/linux/LinuxHidPlatform.h"
#include "simulator/PtyTester.h"
#include "simulator/Testbed.h"
#include "simulator/VirtualTester.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kr90x::test {

// The unchanged window on the Linux HID backend, with simulated testers on fake hidraw
// nodes answering through the nodes as the real one does.
class DevicePathTest : public ::testing::Test {
protected:
    sim::Testbed bed; // before asking whether the preload library sees it
    AppState state;
    RecordingDialogService dialogs;
    std::unique_ptr<LinuxHidPlatform> hid;
    std::unique_ptr<TForm1> form;
    int passes = 0;

    struct Plugged {
        sim::Testbed::Device device;
        std::unique_ptr<sim::PtyTester> tester; // null for devices other than testers
    };
    std::vector<Plugged> plugged;

    void SetUp() override {
        if (!sim::Testbed::preloaded()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        hid = std::make_unique<LinuxHidPlatform>();
    }
    void TearDown() override {
        form.reset(); // the window lets go of the nodes before the testbed goes
    }

    void start() {
        form = std::make_unique<TForm1>(state, dialogs, *hid, UpdateSettings{});
        form->Timer1->setInterval(5000); // a loaded machine answers late, not never
        auto detect = form->HidCont->OnDeviceChange;
        form->HidCont->OnDeviceChange = [this, detect](THidDeviceController& c) {
            detect(c);
            ++passes;
        };
    }
    void waitForPasses(int n) {
        ASSERT_TRUE(waitFor([&] { return passes >= n; }, 10000)) << passes << " passes";
    }

    sim::PtyTester& plugTester(const sim::Testbed::HidSpec& spec = {}) {
        Plugged p{bed.plug(spec), nullptr};
        p.tester = std::make_unique<sim::PtyTester>(p.device.master, VirtualTester::create());
        plugged.push_back(std::move(p));
        return *plugged.back().tester;
    }
    void plugMouse() {
        sim::Testbed::HidSpec mouse;
        mouse.vendor = 0x046D;
        mouse.product = 0xC077;
        mouse.productName = "USB Optical Mouse";
        mouse.descriptorHex = "05010902A1010901A100050919012903150025019503750181029501750581"
                              "010501093009311581257F750895028106C0C0";
        plugged.push_back({bed.plug(mouse), nullptr});
    }
    void unplug(std::size_t index) {
        Plugged& p = plugged.at(index);
        if (p.tester) {
            p.tester->stop();
        }
        bed.unplug(p.device);
    }

    QString panel0() const { return form->StatusBar->panelText(0); }
};

} // namespace kr90x::test
