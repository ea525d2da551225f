#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/RecordingDialogService.h"

#include "support/WaitFor.h"
#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

using namespace kr90x;

namespace {

std::shared_ptr<VirtualHidDevice> makeDevice(int vid, int pid, const char* product = "dev") {
    auto d = std::make_shared<VirtualHidDevice>();
    d->attributes = {static_cast<std::uint16_t>(vid), static_cast<std::uint16_t>(pid), 1};
    d->product = QString::fromLatin1(product);
    return d;
}

std::vector<std::uint8_t> report(std::initializer_list<std::uint8_t> head, std::size_t length) {
    std::vector<std::uint8_t> r(head);
    r.resize(length, 0);
    return r;
}

class HidControllerTest : public ::testing::Test {
protected:
    VirtualHidPlatform platform;
    test::RecordingDialogService dialogs;
    std::unique_ptr<THidDeviceController> controller;
    int changes = 0;

    struct Delivery {
        std::uint8_t id;
        std::vector<std::uint8_t> data;
    };
    std::vector<Delivery> deliveries;

    void start() {
        controller = std::make_unique<THidDeviceController>(platform, dialogs);
        controller->DevThreadSleepTime = 10;
        controller->OnDeviceChange = [this](THidDeviceController&) { ++changes; };
        controller->OnDeviceData = [this](THidDevice&, std::uint8_t id, const std::uint8_t* data,
                                          std::uint16_t size) {
            deliveries.push_back({id, std::vector<std::uint8_t>(data, data + size)});
        };
    }
    // Plugs a device in before the controller starts and checks it out after the first pass;
    // null when it could not be checked out.
    THidDevice* startAndCheckOut(const std::shared_ptr<VirtualHidDevice>& device) {
        platform.plug(device);
        start();
        if (!test::waitFor([&] { return changes >= 1; })) {
            return nullptr;
        }
        THidDevice* dev = nullptr;
        controller->CheckOutByID(dev, 1240, 62356);
        return dev;
    }
    // Lets queued notices and passes run.
    void settle(int expectedChanges) {
        ASSERT_TRUE(test::waitFor([&] { return changes >= expectedChanges; }, 5000));
        test::drainEvents();
        EXPECT_EQ(changes, expectedChanges);
    }
};

} // namespace

TEST_F(HidControllerTest, FirstPassAlwaysReportsAChangeAndFindsWhatIsPresent) {
    start();
    settle(1);
    EXPECT_TRUE(controller->devices().empty());

    auto tester = makeDevice(0x04D8, 0xF394);
    platform.plug(tester);
    settle(2);
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_EQ(controller->NumCheckedInDevices(), 1);

    // A change that involves no HID interface runs a pass that changes nothing.
    platform.raiseNotice();
    test::drainEvents();
    EXPECT_EQ(changes, 2);

    // Any HID device coming and going is a change.
    auto mouse = makeDevice(0x046D, 0xC077, "mouse");
    platform.plug(mouse);
    settle(3);
    platform.unplug(mouse);
    settle(4);
    EXPECT_EQ(controller->devices().size(), 1u);
}

TEST_F(HidControllerTest, CheckOutTakesTheFirstFreeMatchInListOrder) {
    auto first = makeDevice(0x04D8, 0xF394, "first");
    auto second = makeDevice(0x04D8, 0xF394, "second");
    platform.plug(first);
    platform.plug(second);
    platform.plug(makeDevice(0x046D, 0xC077, "mouse"));
    start();
    settle(1);

    THidDevice* a = nullptr;
    THidDevice* b = nullptr;
    THidDevice* c = nullptr;
    ASSERT_TRUE(controller->CheckOutByID(a, 1240, 62356));
    EXPECT_EQ(a->ProductName(), QStringLiteral("first"));
    ASSERT_TRUE(controller->CheckOutByID(b, 1240, -1));
    EXPECT_EQ(b->ProductName(), QStringLiteral("second"));
    EXPECT_FALSE(controller->CheckOutByID(c, 1240, 62356));
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 2);
    EXPECT_EQ(controller->NumCheckedInDevices(), 1);

    controller->CheckIn(a);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(controller->NumCheckedOutDevices(), 1);
    ASSERT_TRUE(controller->CheckOutByID(c, 1240, 62356));
    EXPECT_EQ(c->ProductName(), QStringLiteral("first"));
}

TEST_F(HidControllerTest, ReportsArriveInOrderWithTheIdByteapart) {
    auto tester = makeDevice(0x04D8, 0xF394);
    THidDevice* dev = startAndCheckOut(tester);
    ASSERT_NE(dev, nullptr);
    EXPECT_TRUE(dev->hasReader());

    tester->sendInput(report({0, 'K', 'R'}, 65));
    tester->sendInput(report({7, 1, 2, 3}, 65));
    ASSERT_TRUE(test::waitFor([&] { return deliveries.size() == 2; }, 5000));
    EXPECT_EQ(deliveries[0].id, 0);
    ASSERT_EQ(deliveries[0].data.size(), 64u);
    EXPECT_EQ(deliveries[0].data[0], 'K');
    EXPECT_EQ(deliveries[0].data[63], 0);
    EXPECT_EQ(deliveries[1].id, 7);
    EXPECT_EQ(deliveries[1].data[2], 3);

    // A short report is handed over with the bytes it has.
    tester->sendInput({0, 'X', 'Y'});
    ASSERT_TRUE(test::waitFor([&] { return deliveries.size() == 3; }, 5000));
    EXPECT_EQ(deliveries[2].data.size(), 2u);

    // Writes go out whole.
    std::size_t written = 0;
    const auto out = report({0, 'A'}, 65);
    EXPECT_TRUE(dev->WriteFile(out, written));
    EXPECT_EQ(written, 65u);
    ASSERT_EQ(tester->written().size(), 1u);
    EXPECT_EQ(tester->written()[0], out);
}

TEST_F(HidControllerTest, AnUnpluggedTesterStaysUntilCheckedIn) {
    auto tester = makeDevice(0x04D8, 0xF394);
    THidDevice* dev = startAndCheckOut(tester);
    ASSERT_NE(dev, nullptr);

    platform.unplug(tester);
    settle(2);
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_FALSE(dev->IsPluggedIn());
    EXPECT_EQ(controller->NumUnpluggedDevices(), 1);
    tester->sendInput(report({0, 'Z'}, 65));
    std::size_t written = 0;
    EXPECT_FALSE(dev->WriteFile(report({0}, 65), written));

    // Every later pass finds it gone again and reports a change.
    platform.raiseNotice();
    settle(3);

    controller->CheckIn(dev);
    EXPECT_EQ(dev, nullptr);
    EXPECT_TRUE(controller->devices().empty());
    test::drainEvents();
    EXPECT_TRUE(deliveries.empty());

    // Plugged in again, it is a new device with a new identity.
    platform.plug(tester);
    settle(4);
    ASSERT_TRUE(controller->CheckOutByID(dev, 1240, 62356));
    EXPECT_TRUE(dev->IsPluggedIn());
}

TEST_F(HidControllerTest, OnlyTheFirstFailedReadOfEachCheckOutIsTold) {
    auto tester = makeDevice(0x04D8, 0xF394);
    THidDevice* dev = startAndCheckOut(tester);
    ASSERT_NE(dev, nullptr);
    std::vector<int> told;
    dev->OnReadError = [&](THidDevice&, int error) { told.push_back(error); };

    tester->failReads(EACCES);
    ASSERT_TRUE(test::waitFor([&] { return tester->failedReads() >= 5; }));
    test::drainEvents();
    EXPECT_EQ(told, std::vector<int>{EACCES});

    // Reads that work again deliver as before.
    tester->failReads(0);
    tester->sendInput(report({0, 'A'}, 65));
    ASSERT_TRUE(test::waitFor([&] { return deliveries.size() == 1; }));

    // A new check-out is a new reader, which tells its own first failure.
    controller->CheckIn(dev);
    ASSERT_TRUE(controller->CheckOutByID(dev, 1240, 62356));
    dev->OnReadError = [&](THidDevice&, int error) { told.push_back(error); };
    tester->failReads(EIO);
    ASSERT_TRUE(test::waitFor([&] { return told.size() == 2; }));
    EXPECT_EQ(told[1], EIO);
}

TEST_F(HidControllerTest, AReadHandleThatCannotBeOpenedIsTriedAgain) {
    auto tester = makeDevice(0x04D8, 0xF394);
    platform.plug(tester);
    start();
    settle(1);
    tester->failOpens = 3; // the node is busy for a moment after the pass
    THidDevice* dev = nullptr;
    ASSERT_TRUE(controller->CheckOutByID(dev, 1240, 62356));
    EXPECT_FALSE(dev->hasReader());
    ASSERT_TRUE(test::waitFor([&] { return dev->hasReader(); }));
    tester->sendInput(report({0, 'A'}, 65));
    ASSERT_TRUE(test::waitFor([&] { return deliveries.size() == 1; }));

    // Checked in meanwhile, nothing is tried any more.
    controller->CheckIn(dev);
    tester->failOpens = 1;
    ASSERT_TRUE(controller->CheckOutByID(dev, 1240, 62356));
    controller->CheckIn(dev);
    test::drainEvents();
    EXPECT_EQ(tester->failOpens, 0);
}

TEST_F(HidControllerTest, ATesterThatGainsAccessOnALaterPassIsReadFromThen) {
    auto tester = makeDevice(0x04D8, 0xF394);
    tester->denyAccess = true;
    THidDevice* dev = startAndCheckOut(tester);
    ASSERT_NE(dev, nullptr);
    EXPECT_FALSE(dev->hasReader());

    tester->denyAccess = false; // udev applied the rule, and says so
    platform.raiseNotice();
    settle(2);
    EXPECT_TRUE(dev->HasReadWriteAccess());
    EXPECT_TRUE(dev->hasReader());
    EXPECT_EQ(controller->devices().size(), 1u);
    tester->sendInput(report({0, 'A'}, 65));
    ASSERT_TRUE(test::waitFor([&] { return deliveries.size() == 1; }));
}

TEST_F(HidControllerTest, ATesterWithoutAccessCanBeCheckedOutButNotUsed) {
    auto tester = makeDevice(0x04D8, 0xF394);
    tester->denyAccess = true;
    THidDevice* dev = startAndCheckOut(tester);
    ASSERT_NE(dev, nullptr);
    EXPECT_FALSE(dev->HasReadWriteAccess());
    EXPECT_FALSE(dev->hasReader());
    std::size_t written = 0;
    EXPECT_FALSE(dev->WriteFile(report({0, 'A'}, 65), written));
    EXPECT_TRUE(tester->written().empty());
    EXPECT_EQ(dev->Caps().OutputReportByteLength, 65);
}

TEST_F(HidControllerTest, InterfacesThatCannotBeIdentifiedAreSkippedAndPassesGoOn) {
    auto broken = makeDevice(0x1234, 0x5678);
    broken->unidentifiable = true;
    platform.plug(broken);
    platform.plug(makeDevice(0x04D8, 0xF394));
    start();
    settle(1);
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_EQ(controller->devices()[0]->Attributes().VendorID, 0x04D8);
    EXPECT_TRUE(dialogs.boxes.empty());

    platform.plug(makeDevice(0x046D, 0xC077));
    settle(2);
    EXPECT_EQ(controller->devices().size(), 2u);
}

TEST_F(HidControllerTest, AnErrorInTheDataHandlerIsShownAndTheReaderGoesOn) {
    auto tester = makeDevice(0x04D8, 0xF394);
    platform.plug(tester);
    start();
    int calls = 0;
    controller->OnDeviceData = [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++calls == 1) {
            throw std::runtime_error("'ab' is not a valid integer value");
        }
    };
    settle(1);
    THidDevice* dev = nullptr;
    ASSERT_TRUE(controller->CheckOutByID(dev, 1240, 62356));
    tester->sendInput(report({0, 1}, 65));
    tester->sendInput(report({0, 2}, 65));
    ASSERT_TRUE(test::waitFor([&] { return calls == 2; }, 5000));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("'ab' is not a valid integer value"));
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Orvo KR90X pressure tester"));
}
