#include "app/TForm1.h"
#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "measure/EepromDump.h"
#include "simulator/VirtualTester.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class ReplyHandlingTest : public ::testing::Test {
protected:
    AppState state;
    test::RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::unique_ptr<TForm1> form;
    int flashLaunches = 0;

    void SetUp() override {
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        test::drainEvents(); // the first pass: no tester
        form->log().clear();
    }
    // Hands one report of 64 data bytes (the text, then zeros) to the window.
    void receive(const QByteArray& text, std::size_t size = 64) {
        std::vector<std::uint8_t> data(std::max<std::size_t>(size, 0), 0);
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), size), data.begin());
        form->HidContDeviceData(nullptr, 0, data.data(), static_cast<std::uint16_t>(size));
    }
};

} // namespace

TEST_F(ReplyHandlingTest, EveryReplyIsLoggedWholeAndStopsTheReplyTimer) {
    form->Timer1->start();
    form->Timer2->start();
    receive("KR90X_XXXX|1");
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer2->isActive());
    ASSERT_EQ(form->log().count(), 1);
    EXPECT_EQ(form->log().last().size(), 64);
    EXPECT_EQ(form->log().last().left(12), QStringLiteral("KR90X_XXXX|1"));

    form->Timer1->start();
    receive("KR90X_VE", 8); // shorter than a prefix: logged, nothing else
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_EQ(form->log().last(), QStringLiteral("KR90X_VE"));
    EXPECT_EQ(state.DeviceFirmwareVersion, 9999);
}

TEST_F(ReplyHandlingTest, VersionReplyDecidesTheFirmwareUpdate) {
    form->Timer2->start();
    receive("KR90X_VERS|012");
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(state.DeviceFirmwareVersion, 12);
    EXPECT_FALSE(state.FirmwareCheckStarted); // server version still 0

    state.ServerFirmwareVersion = 12;
    receive("KR90X_VERS|012");
    EXPECT_FALSE(state.FirmwareCheckStarted);
    EXPECT_FALSE(form->log().lines().contains(QStringLiteral("Actualizar KR90X !!!!")));

    state.ServerFirmwareVersion = 13;
    receive("KR90X_VERS|012");
    // No update server here: the firmware download's login fails at once.
    EXPECT_EQ(form->log().lines().mid(form->log().count() - 2),
              (QStringList{QStringLiteral("Actualizar KR90X !!!!"),
                           QStringLiteral("Conexion a internet no disponible!")}));
    EXPECT_TRUE(state.FirmwareCheckStarted);
}

TEST_F(ReplyHandlingTest, AFieldThatIsNoNumberEndsThatReplySilentlyOnly) {
    state.DeviceFirmwareVersion = 12;
    form->Timer2->start();
    receive("KR90X_VERS|1a2");
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_EQ(state.DeviceFirmwareVersion, 12);
    EXPECT_TRUE(dialogs.boxes.empty());
    receive("KR90X_VERS|013");
    EXPECT_EQ(state.DeviceFirmwareVersion, 13);
    // Only the first ten characters decide.
    receive("KR90X_VERSxabc");
    EXPECT_EQ(state.DeviceFirmwareVersion, 13);
}

TEST_F(ReplyHandlingTest, NoReplyInTimeSaysSoAndEnablesReadDataEvenWithoutTester) {
    form->Timer1->setInterval(10);
    form->SendCommand(QStringLiteral("KR90X_COMG"), form->Timer1);
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }));
    EXPECT_EQ(dialogs.boxes[0].text,
              QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X"));
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Information"));
    EXPECT_TRUE(form->btnReaddata->isEnabled());
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(ReplyHandlingTest, EepromRepliesStoreTheirByteAndAskForTheNext) {
    receive("KR90X_EEPR|   17| 300|");
    EXPECT_EQ(state.EepromImage[17], 44);
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_EEPR|   18|"));
    EXPECT_TRUE(form->Timer1->isActive());
    form->Timer1->stop();

    state.CurrentCommand.clear();
    receive("KR90X_EEPR| 2300|  77|"); // beyond the dump: stored, nothing more
    EXPECT_EQ(state.EepromImage[2300], 77);
    EXPECT_TRUE(state.CurrentCommand.isEmpty());
    EXPECT_EQ(form->log().count(), 2);

    receive("KR90X_EEPR|-0001|  77|"); // no such address: logged only
    receive("KR90X_EEPR|99999|  77|");
    EXPECT_TRUE(state.CurrentCommand.isEmpty());
    EXPECT_EQ(form->log().count(), 4);
}

TEST_F(ReplyHandlingTest, ReadEepromEndToEndAgainstTheVirtualTester) {
    auto tester = VirtualTester::create();
    tester->eepromValue = [](int a) { return a == 5 ? 300 : a == 6 ? 255 : a % 256; };
    bool attached = false;
    auto detect = form->HidCont->OnDeviceChange;
    form->HidCont->OnDeviceChange = [&](THidDeviceController& c) {
        detect(c);
        attached = true;
    };
    hid.plug(tester->device());
    ASSERT_TRUE(test::waitFor([&] { return attached; }));
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }));
    form->log().clear();

    form->btnEEPROM->click();
    ASSERT_TRUE(test::waitFor([&] { return form->log().count() >= 4402; }, 30000));
    test::drainEvents();
    const QStringList& lines = form->log().lines();
    ASSERT_EQ(lines.size(), 4402);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("KR90X_EEPR|    0|")));
    EXPECT_EQ(lines[2201], QStringLiteral("0 =     0"));
    EXPECT_EQ(lines[2201 + 5], QStringLiteral("5 =    44"));
    EXPECT_EQ(lines[2201 + 6], QStringLiteral("6 =   255"));
    EXPECT_EQ(lines[2201 + 17], QStringLiteral("17 =    17"));
    EXPECT_EQ(lines.last(), QStringLiteral("2200 =   152"));
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(tester->device()->written().size(), 1u + 2201u);
    EXPECT_TRUE(dialogs.boxes.empty());
}
