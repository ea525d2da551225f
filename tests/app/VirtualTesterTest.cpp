// The virtual tester as a user meets it with --virtual-tester: what it holds for each
// function, every situation its options produce, and its panel.
#include "simulator/VirtualTester.h"
#include "app/CommandLine.h"
#include "app/GradientProgressBar.h"
#include "app/RadioGroup.h"
#include "app/StatusPanels.h"
#include "app/TForm1.h"
#include "app/TesterPanel.h"
#include "app/VirtualTesterSession.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "link/DeviceConnection.h"
#include "measure/TestFunctions.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class VirtualTesterTest : public ::testing::Test {
protected:
    AppState state;
    test::RecordingDialogService dialogs;
    std::unique_ptr<VirtualTesterSession> session;
    std::unique_ptr<TForm1> form;

    // The program as --virtual-tester=OPTIONS starts it, the tester found.
    void start(const QString& options) {
        const CommandLine c = CommandLine::parse({QStringLiteral("--virtual-tester=") + options});
        ASSERT_EQ(c.action, CommandLine::Action::Run) << c.error.toStdString();
        session = std::make_unique<VirtualTesterSession>(*c.virtualTester);
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        form = std::make_unique<TForm1>(state, dialogs, session->platform(), UpdateSettings{});
        ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice != nullptr; }));
    }
    void read(int function) {
        form->btnHome->click();
        form->RadioGroup1->setItemIndex(function);
        form->btnReaddata->click();
    }
    bool shown(QWidget* w) const { return w->isVisibleTo(form.get()); }
    bool boxSays(const QString& text) const {
        return std::any_of(dialogs.boxes.begin(), dialogs.boxes.end(),
                           [&](const MessageBox& b) { return b.text == text; });
    }
};

StoredTest storedFor(int function) {
    return function == 6   ? StoredTest::Oil
           : function == 7 ? StoredTest::LowPressure
           : function == 8 ? StoredTest::Manometer
                           : StoredTest::Rail;
}

} // namespace

TEST_F(VirtualTesterTest, EachFunctionShowsItsStoredTestWithinItsAxis) {
    for (const TestFunction& f : testFunctions()) {
        SCOPED_TRACE(f.itemText);
        start(QStringLiteral("pace=0,stored=") + storedTestName(storedFor(f.index)));
        read(f.index);
        if (f.channel == CurveChannel::None) {
            ASSERT_TRUE(test::waitFor([&] { return shown(form->chart1); }));
            ASSERT_EQ(form->chart1->Series1.Count(), 6);
            for (double bar : form->chart1->Series1.Bar) {
                EXPECT_GT(bar, f.index == 0 ? 10.0 : 25.0); // a healthy petrol, and diesel
            }
        } else {
            ASSERT_TRUE(test::waitFor([&] { return shown(form->Chart2); }, 20000));
            const std::vector<double>& y = form->Chart2->Series2.Y;
            ASSERT_FALSE(y.empty());
            EXPECT_GE(*std::min_element(y.begin(), y.end()), 0.0);
            EXPECT_LE(*std::max_element(y.begin(), y.end()), f.axisMaximum);
            EXPECT_EQ(form->Chart2->leftAxisMaximum(), f.axisMaximum);
        }
        form.reset();
        session.reset();
    }
}

TEST_F(VirtualTesterTest, AWeakCylinderShowsInTheBars) {
    start(QStringLiteral("pace=0,weak-cylinder=3"));
    read(0);
    ASSERT_TRUE(test::waitFor([&] { return shown(form->chart1); }));
    EXPECT_EQ(state.PetrolValues[2], 8.3); // 11.9 bar at 70 %
    EXPECT_EQ(state.PetrolValues[1], 12.1);
}

TEST_F(VirtualTesterTest, OldFirmwareIsAskedToUpdateForTheNewerFunctions) {
    start(QStringLiteral("pace=0,firmware=11"));
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 11; }));
    read(3);
    EXPECT_TRUE(boxSays(QStringLiteral(
        "Option not available, KR90X firmware must be updated to enable this function.")));
    EXPECT_TRUE(form->btnReaddata->isEnabled());
}

TEST_F(VirtualTesterTest, AnEmptyCurveSaysSoAndFourSamplesProgressInThirds) {
    start(QStringLiteral("pace=0,samples=0"));
    read(2);
    ASSERT_TRUE(test::waitFor([&] { return boxSays(QStringLiteral("No data available !")); }));
    form.reset();
    session.reset();

    // A count of 4 is three samples: the first makes a third, rounded up.
    // Pulled out as the program asks for sample 2: after the version, count, sample 1.
    start(QStringLiteral("pace=0,samples=4,unplug-after=3"));
    read(2);
    ASSERT_TRUE(test::waitFor([&] { return !session->plugged(); }));
    ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice == nullptr; }));
    EXPECT_EQ(form->pb1->Percent(), 34);
    EXPECT_TRUE(shown(form->pb1));
}

TEST_F(VirtualTesterTest, ASilentTesterTimesOutTheVersionAndTheRead) {
    start(QStringLiteral("silent"));
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 11; }));
    read(0);
    ASSERT_TRUE(test::waitFor([&] {
        return boxSays(
            QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X"));
    }));
    EXPECT_TRUE(form->btnReaddata->isEnabled());
}

TEST_F(VirtualTesterTest, ALateReplyComesAfterTheTimeOutAndStillShows) {
    start(QStringLiteral("delay=700,pace=0"));
    read(1);
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }));
    EXPECT_TRUE(
        boxSays(QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X")));
    ASSERT_TRUE(test::waitFor([&] { return shown(form->chart1); }));
    EXPECT_EQ(form->chart1->titleLines(), QStringList{QStringLiteral("Diesel Compression")});
}

TEST_F(VirtualTesterTest, FaultyRepliesAreAbandonedWithoutAWord) {
    for (const char* fault : {"garbage", "short", "wrong-prefix"}) {
        SCOPED_TRACE(fault);
        start(QStringLiteral("pace=0,firmware=12,") + QLatin1String(fault));
        dialogs.boxes.clear();
        read(0);
        // The reply arrives (and stops the reply timer) but shows nothing.
        ASSERT_TRUE(test::waitFor([&] { return form->log().count() >= 1; }));
        EXPECT_FALSE(form->Timer1->isActive());
        test::drainEvents();
        EXPECT_FALSE(shown(form->chart1));
        EXPECT_FALSE(form->btnReaddata->isEnabled());
        EXPECT_TRUE(dialogs.boxes.empty());
        form.reset();
        session.reset();
    }
}

TEST_F(VirtualTesterTest, ATesterPulledOutMidCurveLeavesTheProgressAndComesBackFromThePanel) {
    start(QStringLiteral("pace=0,unplug-after=300"));
    read(2);
    ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice == nullptr; }));
    EXPECT_EQ(form->StatusBar->panelText(0), QStringLiteral("Waiting for device ...."));
    EXPECT_TRUE(shown(form->pb1));
    EXPECT_FALSE(shown(form->Chart2));

    session->showPanel(form.get());
    TesterPanel* panel = session->panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->plugButton->text(), QStringLiteral("Plug the tester in"));
    panel->storedTest->setCurrentIndex(1); // it now holds an oil pressure test
    panel->plugButton->click();
    ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice != nullptr; }));
    EXPECT_EQ(panel->plugButton->text(), QStringLiteral("Pull the tester out"));
    read(6);
    ASSERT_TRUE(test::waitFor([&] { return shown(form->Chart2); }, 20000));
    const std::vector<double>& y = form->Chart2->Series2.Y;
    EXPECT_LE(*std::max_element(y.begin(), y.end()), 5.0); // a few bar of oil pressure
}

TEST_F(VirtualTesterTest, ATesterThisUserMayNotOpenIsExplained) {
    start(QStringLiteral("no-access"));
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }));
    EXPECT_TRUE(boxSays(QString::fromLatin1(kNoAccessMessage)));
}

TEST(CommandLine, TheProgramsOwnOptionsAreReadAndQtsAreLeftAlone) {
    using A = CommandLine::Action;
    EXPECT_EQ(CommandLine::parse({}).action, A::Run);
    EXPECT_FALSE(CommandLine::parse({}).virtualTester);
    EXPECT_TRUE(CommandLine::parse({QStringLiteral("--virtual-tester")}).virtualTester);
    const CommandLine oil = CommandLine::parse({QStringLiteral("--virtual-tester=stored=oil")});
    ASSERT_TRUE(oil.virtualTester);
    EXPECT_EQ(oil.virtualTester->stored, StoredTest::Oil);
    // Qt's own options, with their values, are Qt's; any other dash is refused.
    EXPECT_EQ(CommandLine::parse({QStringLiteral("-platform"), QStringLiteral("xcb")}).action,
              A::Run);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("-style=fusion"), QStringLiteral("-reverse"),
                                  QStringLiteral("-qwindowtitle"), QStringLiteral("-x")})
                  .action,
              A::Run);
    for (const char* refused :
         {"-x", "-virtual-tester", "-platformx", "--platform", "-reverse=1"}) {
        const CommandLine c = CommandLine::parse({QString::fromLatin1(refused)});
        EXPECT_EQ(c.action, A::Error) << refused;
        EXPECT_EQ(c.error, QStringLiteral("unknown option \"%1\"").arg(QLatin1String(refused)));
    }
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--help")}).action, A::Help);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--version")}).action, A::Version);
    EXPECT_EQ(CommandLine::versionText(), QStringLiteral("Orvo KR90X pressure tester 1.04\n"));

    const CommandLine unknown = CommandLine::parse({QStringLiteral("--virtual")});
    EXPECT_EQ(unknown.action, A::Error);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("--virtual")));
    const CommandLine bad = CommandLine::parse({QStringLiteral("--virtual-tester=pace=fast")});
    EXPECT_EQ(bad.action, A::Error);
    EXPECT_TRUE(bad.error.contains(QStringLiteral("pace=fast")));
    EXPECT_TRUE(CommandLine::usage().contains(QStringLiteral("weak-cylinder=N")));
}
