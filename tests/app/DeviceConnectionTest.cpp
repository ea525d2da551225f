#include "link/DeviceConnection.h"
#include "app/StatusPanels.h"
#include "app/TForm1.h"
#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "simulator/VirtualTester.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

bool showsPicture(const QLabel* label, const char* resource) {
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
           QImage(QString::fromLatin1(resource))
               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class DeviceConnectionTest : public ::testing::Test {
protected:
    AppState state;
    test::RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::shared_ptr<VirtualTester> tester = VirtualTester::create();
    std::unique_ptr<TForm1> form;
    int passes = 0;

    void start() {
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        // Count the passes that reached the window, after its own handler has run.
        auto detect = form->HidCont->OnDeviceChange;
        form->HidCont->OnDeviceChange = [this, detect](THidDeviceController& c) {
            detect(c);
            ++passes;
        };
    }
    void waitForPasses(int n) {
        ASSERT_TRUE(test::waitFor([&] { return passes >= n; }));
        EXPECT_EQ(passes, n);
    }
    QString panel0() const { return form->StatusBar->panelText(0); }
};

} // namespace

TEST_F(DeviceConnectionTest, StartWithTheTesterAttachedAsksItsVersion) {
    hid.plug(tester->device());
    tester->options.silent = true;
    start();
    waitForPasses(1);
    EXPECT_EQ(form->log().lines(), QStringList{QStringLiteral("Orvo tester detected ...")});
    EXPECT_EQ(panel0(), QStringLiteral("KR90X connected"));
    EXPECT_TRUE(showsPicture(form->imgUsb, ":/res/USB_Logo"));
    EXPECT_TRUE(form->btnReaddata->isEnabled());
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_NE(state.TesterDevice, nullptr);

    // The first report: report ID 0, the 11 characters, zeros after them.
    const auto written = tester->device()->written();
    ASSERT_EQ(written.size(), 1u);
    std::vector<std::uint8_t> expected(65, 0);
    const QByteArray question("KR90X_VERS|");
    std::copy(question.begin(), question.end(), expected.begin() + 1);
    EXPECT_EQ(written[0], expected);
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_VERS|"));
    EXPECT_EQ(state.OutputReportLength, 65);
}

TEST_F(DeviceConnectionTest, StartWithoutTesterWaitsAndEachChangeSaysSoAgain) {
    start();
    waitForPasses(1);
    EXPECT_EQ(form->log().lines(),
              (QStringList{QStringLiteral("Memo1"), QStringLiteral("Waiting for device ....")}));
    EXPECT_EQ(panel0(), QStringLiteral("Waiting for device ...."));
    EXPECT_TRUE(showsPicture(form->imgUsb, ":/res/USB_Logo_BN"));
    EXPECT_FALSE(form->btnReaddata->isEnabled());

    auto mouse = std::make_shared<VirtualHidDevice>();
    mouse->attributes = {0x046D, 0xC077, 1};
    hid.plug(mouse);
    waitForPasses(2);
    EXPECT_EQ(form->log().count(), 3);
    EXPECT_EQ(form->log().last(), QStringLiteral("Waiting for device ...."));
}

TEST_F(DeviceConnectionTest, AnotherDeviceWhileConnectedOnlyLogs) {
    hid.plug(tester->device());
    start();
    waitForPasses(1);
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }));
    const QStringList before = form->log().lines();
    auto mouse = std::make_shared<VirtualHidDevice>();
    mouse->attributes = {0x046D, 0xC077, 1};
    hid.plug(mouse);
    waitForPasses(2);
    EXPECT_EQ(form->log().lines(),
              before + QStringList{QStringLiteral("Ya está conectado Rirazereruver ovuvuv")});
    EXPECT_EQ(panel0(), QStringLiteral("KR90X connected"));
    EXPECT_EQ(tester->device()->written().size(), 1u);
}

TEST_F(DeviceConnectionTest, DetachAndReattachAsksTheVersionAgain) {
    tester->options.silent = true;
    hid.plug(tester->device());
    start();
    waitForPasses(1);
    form->Timer2->stop();

    hid.unplug(tester->device());
    waitForPasses(2);
    EXPECT_EQ(form->log().last(), QStringLiteral("Liberado!"));
    EXPECT_EQ(state.TesterDevice, nullptr);
    EXPECT_TRUE(form->HidCont->devices().empty());
    EXPECT_TRUE(showsPicture(form->imgUsb, ":/res/USB_Logo_BN"));
    EXPECT_EQ(panel0(), QStringLiteral("Waiting for device ...."));
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    EXPECT_FALSE(form->Timer2->isActive());

    hid.plug(tester->device());
    waitForPasses(3);
    EXPECT_EQ(form->log().lines(), QStringList{QStringLiteral("Orvo tester detected ...")});
    EXPECT_TRUE(showsPicture(form->imgUsb, ":/res/USB_Logo"));
    EXPECT_EQ(tester->device()->written().size(), 2u);
    EXPECT_TRUE(form->Timer2->isActive());
}

TEST_F(DeviceConnectionTest, ASilentTesterIsTakenToRunVersion11) {
    tester->options.silent = true;
    hid.plug(tester->device());
    start();
    form->Timer2->setInterval(20);
    waitForPasses(1);
    EXPECT_EQ(state.DeviceFirmwareVersion, 9999);
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 11; }));
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_TRUE(state.FirmwareCheckStarted);
}

TEST_F(DeviceConnectionTest, ATesterThisUserMayNotOpenIsShownAndExplainedOnce) {
    tester->device()->denyAccess = true;
    hid.plug(tester->device());
    start();
    waitForPasses(1);
    // Seen, but not offered for a read that could only time out.
    EXPECT_EQ(panel0(), QStringLiteral("KR90X found, but this user may not open it"));
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    form->btnHome->click();
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(dialogs.boxes[0].text, QString::fromLatin1(kNoAccessMessage));
    EXPECT_FALSE(state.TesterDevice->hasReader());
    EXPECT_TRUE(tester->device()->written().empty());

    hid.raiseNotice();
    test::drainEvents();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// udev applies the rule after the program took the tester: it is greeted as if just
// attached, and answers the version question it never heard.
TEST_F(DeviceConnectionTest, ATesterThatGainsAccessIsAskedItsVersionThen) {
    tester->device()->denyAccess = true;
    hid.plug(tester->device());
    start();
    waitForPasses(1);
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }));
    form->Timer2->stop();
    EXPECT_TRUE(tester->device()->written().empty());

    tester->device()->denyAccess = false;
    hid.raiseNotice();
    waitForPasses(2);
    EXPECT_EQ(form->log().lines().last(), QStringLiteral("Orvo tester detected ..."));
    ASSERT_EQ(tester->device()->written().size(), 1u);
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }));
    EXPECT_EQ(dialogs.boxes.size(), 1u);

    // From then on, other devices only say it is still there.
    hid.raiseNotice();
    test::drainEvents();
    auto mouse = std::make_shared<VirtualHidDevice>();
    mouse->attributes = {0x046D, 0xC077, 1};
    hid.plug(mouse);
    waitForPasses(3);
    EXPECT_EQ(form->log().lines().last(), QStringLiteral("Ya está conectado Rirazereruver ovuvuv"));
}

// The box asks for an unplug and a re-plug, which the user does while it is open: the
// window must follow them, whatever the box's own event loop delivers meanwhile.
TEST_F(DeviceConnectionTest, UnplugAndReplugWhileTheNoAccessBoxIsOpenAreFollowed) {
    tester->device()->denyAccess = true;
    hid.plug(tester->device());
    dialogs.onBox = [&](const MessageBox&) {
        dialogs.onBox = nullptr;
        hid.unplug(tester->device());
        ASSERT_TRUE(test::waitFor([&] { return passes >= 2; }));
        tester->device()->denyAccess = false; // the rule is in place now
        hid.plug(tester->device());
        ASSERT_TRUE(test::waitFor([&] { return passes >= 3; }));
    };
    start();
    ASSERT_TRUE(test::waitFor([&] { return passes >= 3; }));
    test::drainEvents();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(panel0(), QStringLiteral("KR90X connected"));
    ASSERT_NE(state.TesterDevice, nullptr);
    EXPECT_TRUE(state.TesterDevice->hasReader());
    EXPECT_EQ(form->log().lines().first(), QStringLiteral("Orvo tester detected ..."));
}

TEST_F(DeviceConnectionTest, HomeEnablesReadOnlyWhileTheTesterIsPluggedIn) {
    hid.plug(tester->device());
    start();
    waitForPasses(1);
    form->btnReaddata->setEnabled(false);
    form->btnHome->click();
    EXPECT_TRUE(form->btnReaddata->isEnabled());
}
