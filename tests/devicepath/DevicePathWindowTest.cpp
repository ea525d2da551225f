// The whole program on the Linux backend with simulated testers on fake hidraw nodes:
// hot-plug through the udev monitor, other devices, and a session of reads.
#include "DevicePath.h"

#include "app/GradientProgressBar.h"
#include "app/RadioGroup.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"

#include <QPushButton>

using namespace kr90x;
using namespace kr90x::test;

TEST_F(DevicePathTest, TheTesterIsTakenOnPlugAndGivenBackOnUnplug) {
    start();
    waitForPasses(1);
    EXPECT_EQ(panel0(), QStringLiteral("Waiting for device ...."));

    sim::PtyTester& tester = plugTester();
    waitForPasses(2);
    ASSERT_NE(state.TesterDevice, nullptr);
    EXPECT_TRUE(state.TesterDevice->hasReader());
    EXPECT_EQ(state.TesterDevice->ProductName(), QStringLiteral("Rirazereruver ovuvuv"));
    EXPECT_EQ(panel0(), QStringLiteral("KR90X connected"));
    EXPECT_EQ(form->log().lines().first(), QStringLiteral("Orvo tester detected ..."));
    ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));
    EXPECT_EQ(tester.commands(), QStringList{QStringLiteral("KR90X_VERS|")});
    EXPECT_TRUE(form->btnReaddata->isEnabled());

    THidDevice* taken = state.TesterDevice;
    unplug(0);
    // The pass finds it gone, the window gives it back: nothing of it remains.
    waitForPasses(3);
    EXPECT_EQ(state.TesterDevice, nullptr);
    EXPECT_TRUE(form->HidCont->devices().empty());
    EXPECT_NE(form->log().lines().indexOf(QStringLiteral("Liberado!")), -1);
    EXPECT_EQ(panel0(), QStringLiteral("Waiting for device ...."));
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    (void)taken;
}

TEST_F(DevicePathTest, OtherDevicesComeAndGoWithoutTouchingTheTester) {
    plugTester();
    start();
    waitForPasses(1);
    ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));
    THidDevice* tester = state.TesterDevice;

    plugMouse();
    waitForPasses(2);
    EXPECT_EQ(form->log().lines().last(), QStringLiteral("Ya está conectado Rirazereruver ovuvuv"));
    unplug(1);
    waitForPasses(3);
    EXPECT_EQ(form->log().lines().last(), QStringLiteral("Ya está conectado Rirazereruver ovuvuv"));
    EXPECT_EQ(state.TesterDevice, tester);
    EXPECT_EQ(panel0(), QStringLiteral("KR90X connected"));
    EXPECT_EQ(plugged[0].tester->commands().size(), 1);

    // A second tester stays free while the first is taken; the first one's unplug gives
    // it back, and the next change takes the second.
    sim::PtyTester& second = plugTester();
    waitForPasses(4);
    EXPECT_EQ(state.TesterDevice, tester);
    unplug(0);
    waitForPasses(5);
    EXPECT_EQ(state.TesterDevice, nullptr);
    plugMouse();
    waitForPasses(6);
    ASSERT_NE(state.TesterDevice, nullptr);
    EXPECT_EQ(state.TesterDevice->PnPInfo().DevicePath, QStringLiteral("/dev/hidraw2"));
    ASSERT_TRUE(waitFor([&] { return second.commands().size() == 1; }, 10000));
}

// Version, a petrol compression, a 999-sample high-pressure curve, the tester pulled
// in the middle of a second curve, and plugged in again.
TEST_F(DevicePathTest, AWholeSessionWithTheTesterPulledMidwayAndPluggedAgain) {
    sim::PtyTester& first = plugTester();
    first.logic().sampleCounts[0] = 1000; // 999 samples, as a count of n gives n - 1
    start();
    waitForPasses(1);
    ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));

    form->RadioGroup1->setItemIndex(0);
    form->btnReaddata->click();
    ASSERT_TRUE(waitFor([&] { return form->chart1->isVisibleTo(form.get()); }, 10000))
        << first.commands().join(QLatin1Char(',')).toStdString() << " / "
        << form->log().lines().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(state.PetrolValues[0], 11.8);
    EXPECT_TRUE(form->btnReport->isEnabled());

    form->btnHome->click();
    form->RadioGroup1->setItemIndex(2);
    form->btnReaddata->click();
    ASSERT_TRUE(waitFor([&] { return form->Chart2->isVisibleTo(form.get()); }, 60000));
    EXPECT_EQ(form->Chart2->Series2.Count(), 999);
    EXPECT_EQ(first.commands().count(QStringLiteral("KR90X_GAVA|  999|")), 1);
    EXPECT_EQ(state.CompletedFunction, 2);
    EXPECT_FALSE(form->pb1->isVisibleTo(form.get()));

    // Pulled out half way through the next curve.
    form->btnHome->click();
    first.clearCommands();
    form->btnReaddata->click();
    ASSERT_TRUE(waitFor([&] { return first.commands().contains("KR90X_GAVA|  500|"); }, 60000));
    unplug(0);
    waitForPasses(2);
    EXPECT_EQ(state.TesterDevice, nullptr);
    EXPECT_EQ(panel0(), QStringLiteral("Waiting for device ...."));
    EXPECT_TRUE(form->pb1->isVisibleTo(form.get())); // stops where it was
    EXPECT_FALSE(form->Chart2->isVisibleTo(form.get()));
    const int stoppedAt = form->pb1->Percent();
    EXPECT_GE(stoppedAt, 50);

    sim::PtyTester& again = plugTester();
    again.logic().sampleCounts[0] = 1000;
    waitForPasses(3);
    ASSERT_TRUE(waitFor([&] { return again.commands().size() == 1; }, 10000));
    // The report buffer keeps the tail of the longest command before it.
    EXPECT_TRUE(again.commands().first().startsWith(QStringLiteral("KR90X_VERS|")));
    EXPECT_EQ(form->log().lines().first(), QStringLiteral("Orvo tester detected ..."));
    ASSERT_TRUE(form->btnReaddata->isEnabled());
    form->btnReaddata->click();
    ASSERT_TRUE(waitFor([&] { return form->Chart2->isVisibleTo(form.get()); }, 60000));
    EXPECT_EQ(form->Chart2->Series2.Count(), 999);
    EXPECT_FALSE(form->pb1->isVisibleTo(form.get()));
}

// A tester whose report descriptor the parser refuses is still heard: the refusal goes
// to the log, and the tester's known 64-byte reports are taken.
TEST_F(DevicePathTest, ATesterWithARefusedDescriptorIsLoggedAndStillHeard) {
    sim::Testbed::HidSpec broken;
    broken.descriptorHex = "0600FF0901C0C0"; // an End Collection too many
    sim::PtyTester& tester = plugTester(broken);
    start();
    waitForPasses(1);
    ASSERT_NE(state.TesterDevice, nullptr);
    EXPECT_EQ(state.TesterDevice->Caps().InputReportByteLength, 65);
    EXPECT_TRUE(state.TesterDevice->hasReader());
    const QStringList log = form->log().lines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("Orvo tester detected ..."));
    EXPECT_EQ(log[1],
              QStringLiteral("Report descriptor refused (7 bytes); the tester's 64-byte reports "
                             "assumed"));
    ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));
    EXPECT_EQ(tester.commands().size(), 1);
}
