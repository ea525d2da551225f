#include "protocol/CommandSender.h"
#include "core/AppState.h"
#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class CommandSenderTest : public ::testing::Test {
protected:
    AppState state;
    VirtualHidPlatform platform;
    test::RecordingDialogService dialogs;
    std::shared_ptr<VirtualHidDevice> tester = std::make_shared<VirtualHidDevice>();
    std::unique_ptr<THidDeviceController> controller;
    CommandSender sender{state};
    QTimer timer;

    void attach(std::uint16_t outputLength = 65) {
        tester->attributes = {0x04D8, 0xF394, 1};
        tester->caps.OutputReportByteLength = outputLength;
        platform.plug(tester);
        controller = std::make_unique<THidDeviceController>(platform, dialogs);
        bool found = false;
        controller->OnDeviceChange = [&](THidDeviceController&) { found = true; };
        ASSERT_TRUE(test::waitFor([&] { return found; }));
        ASSERT_TRUE(controller->CheckOutByID(state.TesterDevice, 1240, 62356));
    }
    std::string sent(std::size_t i) const {
        const auto w = tester->written();
        return std::string(w.at(i).begin(), w.at(i).end());
    }
};

} // namespace

TEST_F(CommandSenderTest, AShorterCommandGoesOutWithTheTailOfALongerOne) {
    attach();
    sender.SendCommand(QStringLiteral("KR90X_GAVA|12345|"), nullptr);
    sender.SendCommand(QStringLiteral("KR90X_COMG"), nullptr);
    ASSERT_EQ(tester->written().size(), 2u);
    EXPECT_EQ(sent(1).substr(0, 18), std::string("\0KR90X_COMG|12345|", 18));
    EXPECT_EQ(sent(1).size(), 65u);
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_COMG"));
}

TEST_F(CommandSenderTest, ATesterWithLongerReportsGetsTheBufferGrownNeverOverread) {
    attach(129);
    sender.SendCommand(QStringLiteral("KR90X_COMD"), nullptr);
    ASSERT_EQ(tester->written().size(), 1u);
    EXPECT_EQ(tester->written()[0].size(), 129u);
    EXPECT_EQ(state.OutputReportLength, 129);
    EXPECT_EQ(state.OutputReport.size(), 129u);
    EXPECT_EQ(tester->written()[0][128], 0);
}

TEST_F(CommandSenderTest, ARunningTimerKeepsItsCountdownAndNoTesterMeansNoWrite) {
    timer.setInterval(500);
    sender.SendCommand(QStringLiteral("KR90X_COMG"), &timer);
    EXPECT_TRUE(timer.isActive());
    const int id = timer.timerId(); // a restart would give the timer a new id
    sender.SendCommand(QStringLiteral("KR90X_COMG"), &timer);
    EXPECT_EQ(timer.timerId(), id);
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_COMG"));
    EXPECT_EQ(state.OutputReport[1], 'K');
    EXPECT_EQ(state.OutputReport[0], 0);
    EXPECT_TRUE(tester->written().empty());
}
