// The Linux HID backend against fake hidraw nodes (umockdev): what libudev lists, what
// the node carries each way, and what the udev monitor tells.
#include "link/linux/LinuxHidPlatform.h"
#include "simulator/Testbed.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <unistd.h>

using namespace kr90x;
using kr90x::sim::Testbed;

namespace {

class LinuxHidTest : public ::testing::Test {
protected:
    Testbed bed; // before asking whether the preload library sees it
    std::unique_ptr<LinuxHidPlatform> platform;

    void SetUp() override {
        if (!Testbed::preloaded()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
        platform = std::make_unique<LinuxHidPlatform>();
    }

    Testbed::HidSpec mouse() const {
        Testbed::HidSpec m;
        m.vendor = 0x046D;
        m.product = 0xC077;
        m.productName = "USB Optical Mouse";
        // A boot mouse: three buttons and x, y in one 3-byte input report.
        m.descriptorHex = "05010902A1010901A100050919012903150025019503750181029501750581010501"
                          "093009311581257F750895028106C0C0";
        return m;
    }
    std::unique_ptr<HidHandle> open(const Testbed::Device& d) {
        return platform->open(QString::fromStdString(d.devnode), HidAccess::ReadWrite);
    }
};

} // namespace

TEST_F(LinuxHidTest, TheTesterIsListedAndIdentifiedFromSysfs) {
    const Testbed::Device tester = bed.plug({});
    bed.plug(mouse());
    const std::vector<THidPnPInfo> found = platform->enumerate();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].DevicePath, QStringLiteral("/dev/hidraw0"));
    EXPECT_EQ(found[0].DeviceID, QStringLiteral("0003:04D8:F394.0001"));
    EXPECT_EQ(found[1].DeviceID, QStringLiteral("0003:046D:C077.0002"));

    const std::unique_ptr<HidHandle> h = open(tester);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->access(), HidAccess::ReadWrite);
    THidAttributes a;
    ASSERT_TRUE(h->attributes(a));
    EXPECT_EQ(a.VendorID, 0x04D8);
    EXPECT_EQ(a.ProductID, 0xF394);
    EXPECT_EQ(a.VersionNumber, 0x0104);
    EXPECT_EQ(h->productString(), QStringLiteral("Rirazereruver ovuvuv"));
    THidCaps caps;
    ASSERT_TRUE(h->caps(caps));
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 65);
    EXPECT_TRUE(h->capsNote().isEmpty());
}

TEST_F(LinuxHidTest, ReportsCrossTheNodeWithTheReportIdByteInFrontOfTheData) {
    const Testbed::Device tester = bed.plug({});
    const std::unique_ptr<HidHandle> h = open(tester);
    ASSERT_NE(h, nullptr);

    std::vector<std::uint8_t> out(65, 0);
    std::memcpy(out.data() + 1, "KR90X_VERS|", 11);
    std::size_t written = 0;
    ASSERT_TRUE(h->write(out, written));
    EXPECT_EQ(written, 65u);
    std::vector<std::uint8_t> arrived(65);
    ASSERT_EQ(::read(tester.master, arrived.data(), arrived.size()), 65);
    EXPECT_EQ(arrived, out);

    std::vector<std::uint8_t> reply(64, 0);
    std::memcpy(reply.data(), "KR90X_VERS|012", 14);
    ASSERT_EQ(::write(tester.master, reply.data(), reply.size()), 64);
    std::vector<std::uint8_t> in(65, 0xEE);
    const HidReadResult r = h->read(in, std::chrono::milliseconds(5000));
    ASSERT_EQ(r.status, HidReadStatus::Data);
    EXPECT_EQ(r.bytes, 65u);
    EXPECT_EQ(in[0], 0);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), in.begin() + 1));

    // Nothing more within the wait: a time-out, not a failure.
    EXPECT_EQ(h->read(in, std::chrono::milliseconds(20)).status, HidReadStatus::Timeout);
}

TEST_F(LinuxHidTest, CloseFromAnotherThreadEndsAPendingReadAtOnce) {
    const std::unique_ptr<HidHandle> h = open(bed.plug({}));
    ASSERT_NE(h, nullptr);
    std::atomic<bool> reading{false};
    std::atomic<bool> done{false};
    HidReadResult result;
    std::thread reader([&] {
        std::vector<std::uint8_t> in(65);
        reading = true;
        result = h->read(in, std::chrono::milliseconds(60000));
        done = true;
    });
    ASSERT_TRUE(test::waitFor([&] { return reading.load(); }));
    h->close();
    // Far sooner than the minute the read would wait.
    const bool ended = test::waitFor([&] { return done.load(); }, 5000);
    reader.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(result.status, HidReadStatus::Failed);
    EXPECT_EQ(result.error, 0); // closed by us: no failure to tell
}

TEST_F(LinuxHidTest, ARefusedDescriptorLeavesTheTesterItsKnownReportsAndOthersNone) {
    Testbed::HidSpec broken;
    broken.descriptorHex = "0600FF0901C0C0"; // an End Collection too many
    const std::unique_ptr<HidHandle> tester = open(bed.plug(broken));
    ASSERT_NE(tester, nullptr);
    THidCaps caps;
    ASSERT_TRUE(tester->caps(caps));
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 65);
    EXPECT_TRUE(tester->capsNote().contains(QStringLiteral("refused")));

    Testbed::HidSpec other = mouse();
    other.descriptorHex = broken.descriptorHex;
    const std::unique_ptr<HidHandle> h = open(bed.plug(other));
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(h->caps(caps));
}

TEST_F(LinuxHidTest, TheMonitorTellsOfChangesAndARemovalIsBelievedBeforeSysfsCatchesUp) {
    int notices = 0;
    platform->watch([&] { ++notices; });
    const Testbed::Device tester = bed.plug({});
    ASSERT_TRUE(test::waitFor([&] { return notices >= 1; }));
    EXPECT_EQ(platform->enumerate().size(), 1u);

    // The kernel's remove event may come while sysfs still shows the node.
    const int before = notices;
    bed.announce(tester, "remove");
    ASSERT_TRUE(test::waitFor([&] { return notices > before; }));
    EXPECT_TRUE(platform->enumerate().empty());
    // An add of the same node takes it back.
    bed.announce(tester, "add");
    ASSERT_TRUE(test::waitFor([&] { return notices > before + 1; }));
    EXPECT_EQ(platform->enumerate().size(), 1u);

    bed.unplug(tester);
    ASSERT_TRUE(test::waitFor([&] { return notices > before + 2; }));
    EXPECT_TRUE(platform->enumerate().empty());
}
