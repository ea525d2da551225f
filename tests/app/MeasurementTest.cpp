#include "WindowFixture.h"

#include "app/GradientProgressBar.h"
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "link/THidDeviceController.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "reports/TRepProject.h"
#include "simulator/VirtualTester.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class MeasurementTest : public test::WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        form->log().clear(); // the first device pass wrote its line
    }
    std::vector<double> curve() const { return form->Chart2->Series2.Y; }
    std::vector<double> band() const { return form->Chart2->Series3.Y; }
};

} // namespace

TEST_F(MeasurementTest, FirmwareGateRefusesNewerFunctionsOnOldTesters) {
    for (int version : {9999, 12}) {
        state.DeviceFirmwareVersion = version;
        read(3);
        EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GTMX")) << version;
    }
    EXPECT_TRUE(dialogs.boxes.empty());

    state.DeviceFirmwareVersion = 11;
    for (int f = 0; f <= 8; ++f) {
        state.CurrentCommand.clear();
        dialogs.boxes.clear();
        read(f);
        const bool refused = f >= 3;
        EXPECT_EQ(state.CurrentCommand.isEmpty(), refused) << f;
        EXPECT_EQ(dialogs.boxes.size(), refused ? 1u : 0u) << f;
        if (refused) {
            EXPECT_EQ(dialogs.boxes[0].text,
                      QStringLiteral("Option not available, KR90X firmware must be updated to "
                                     "enable this function."));
            EXPECT_TRUE(form->btnReaddata->isEnabled());
        } else {
            EXPECT_FALSE(form->btnReaddata->isEnabled());
        }
    }
    // Oil, low pressure and the manometer ask exactly what high pressure asks.
    state.DeviceFirmwareVersion = 12;
    for (int f : {6, 7, 8}) {
        read(f);
        EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GAMX"));
    }
}

TEST_F(MeasurementTest, ARefusedReadSetsScaleAndTitleButKeepsTheCurve) {
    read(2);
    receive(QStringLiteral("KR90X_GAMX|    3|"));
    receive(sample("KR90X_GAVA", 1, 500));
    receive(sample("KR90X_GAVA", 2, 600));
    ASSERT_EQ(curve().size(), 2u);
    state.DeviceFirmwareVersion = 11;
    read(3);
    EXPECT_EQ(form->Chart2->titleLines(), QStringList{QStringLiteral("Turbo pressure (mBar)")});
    EXPECT_EQ(form->Chart2->leftAxisMaximum(), 3000);
    EXPECT_EQ(curve().size(), 2u);
    EXPECT_TRUE(form->log().lines().isEmpty());

    // A compression read empties the curve but leaves its title and scale.
    read(0);
    EXPECT_TRUE(curve().empty());
    EXPECT_EQ(form->Chart2->leftAxisMaximum(), 3000);
    EXPECT_EQ(form->Chart2->titleLines(), QStringList{QStringLiteral("Turbo pressure (mBar)")});
}

TEST_F(MeasurementTest, PetrolResultIsLoggedKeptAndShownAsBars) {
    read(0);
    receive(QStringLiteral("KR90X_COMG|0125|0130|0098|0110|0120|0000"));
    EXPECT_EQ(state.PetrolValues, (std::array<double, 6>{12.5, 13.0, 9.8, 11.0, 12.0, 0.0}));
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("Cilindro_3")),
              QStringLiteral("Cylinder # 3:  9,8 Bar"));
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("CILINDRO_1")),
              QStringLiteral("Cylinder # 1: 12,5 Bar"));
    const QStringList& log = form->log().lines();
    ASSERT_EQ(log.size(), 11);
    EXPECT_EQ(log[1], QStringLiteral(" "));
    EXPECT_EQ(log[2], QStringLiteral("Petrol compression"));
    EXPECT_EQ(log[4], QStringLiteral("Cylinder n\u00BA 1..: 012,5 Bar"));
    EXPECT_EQ(log[9], QStringLiteral("Cylinder n\u00BA 6..: 000,0 Bar"));
    EXPECT_EQ(log[10], QStringLiteral(" "));

    const auto& bars = form->chart1->Series1;
    ASSERT_EQ(bars.Count(), 6);
    EXPECT_EQ(bars.Labels.first(), QStringLiteral("Cyl # 6"));
    EXPECT_EQ(bars.Labels.last(), QStringLiteral("Cyl # 1"));
    EXPECT_EQ(bars.Bar.front(), 0.0);
    EXPECT_EQ(bars.Bar.back(), 12.5);
    EXPECT_EQ(form->chart1->titleLines(), QStringList{QStringLiteral("Petrol Compression")});
    EXPECT_TRUE(form->chart1->isVisible());
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    EXPECT_EQ(state.CompletedFunction, 0);
}

TEST_F(MeasurementTest, DieselResultKeepsTheSpacesAsSentAndLogsNineLines) {
    receive(QStringLiteral("KR90X_COMD| 980|0300|0290|0310|0280|0295"));
    EXPECT_EQ(state.DieselValues[0], 98.0);
    EXPECT_EQ(form->log().count(), 1 + 9);
    EXPECT_EQ(form->log().lines()[4], QStringLiteral("Cylinder n\u00BA 1..:  98,0 Bar"));
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("Cilindro_1")),
              QStringLiteral("Cylinder # 1: 98,0 Bar"));
    EXPECT_EQ(form->chart1->titleLines(), QStringList{QStringLiteral("Diesel Compression")});
    EXPECT_EQ(state.CompletedFunction, 1);
}

// Refused whole: nothing of the cylinders before the bad one is kept or shown.
TEST_F(MeasurementTest, ACylinderThatIsNoNumberRefusesTheWholeReplyAfterItsLogLines) {
    receive(QStringLiteral("KR90X_COMG|0125|0130|00x8|0110|0120|0000"));
    EXPECT_EQ(form->log().count(), 11); // every line is written from the raw characters
    EXPECT_EQ(form->chart1->Series1.Count(), 0);
    EXPECT_FALSE(form->chart1->isVisible());
    EXPECT_FALSE(form->btnReport->isEnabled());
    EXPECT_EQ(state.PetrolValues, CylinderValues{});
    EXPECT_TRUE(form->RepProject1->param(QStringLiteral("Cilindro_1")).isEmpty());
    EXPECT_EQ(state.CompletedFunction, -1);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MeasurementTest, CountsWithoutSamplesEndTheReadAndBadCountsAreIgnored) {
    for (const char* count : {"    0", "    1"}) {
        dialogs.boxes.clear();
        state.CurrentCommand.clear();
        receive(QStringLiteral("KR90X_GAMX|%1|").arg(QLatin1String(count)));
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("No data available !"));
        EXPECT_TRUE(state.CurrentCommand.isEmpty());
        EXPECT_FALSE(form->pb1->isVisible());
        EXPECT_FALSE(form->btnReaddata->isEnabled());
    }
    dialogs.boxes.clear();
    receive(QStringLiteral("KR90X_GTMX|   -5|"));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(state.CurrentCommand.isEmpty());

    // A count of 2 asks for sample 1 only, which completes the curve at 100 %.
    receive(QStringLiteral("KR90X_GTMX|    2|"));
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GTVA|    1|"));
    EXPECT_TRUE(form->pb1->isVisible());
    receive(sample("KR90X_GTVA", 1, 1200));
    EXPECT_EQ(curve(), std::vector<double>{1200});
    EXPECT_TRUE(form->Chart2->isVisible());
    EXPECT_FALSE(form->pb1->isVisible());
    EXPECT_EQ(form->pb1->Percent(), 0);
    EXPECT_FALSE(form->btnReport->isEnabled());
}

TEST_F(MeasurementTest, ProgressGrowsOnePercentAtATimeAndIsDrawnOncePerValue) {
    std::map<int, int> paintsAt;
    struct Counter : QObject {
        std::map<int, int>& paints;
        GradientProgressBar* bar;
        Counter(std::map<int, int>& p, GradientProgressBar* b) : paints(p), bar(b) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                ++paints[bar->Percent()];
            }
            return false;
        }
    } counter(paintsAt, form->pb1);
    form->pb1->installEventFilter(&counter);

    read(2);
    receive(QStringLiteral("KR90X_GAMX|  101|"));
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GAVA|    1|"));
    form->log().clear();
    for (int k = 1; k <= 100; ++k) {
        receive(sample("KR90X_GAVA", k, 1350));
        if (k < 100) {
            EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GAVA|%1|").arg(k + 1, 5));
            EXPECT_EQ(form->pb1->Percent(), k);
        }
    }
    // Sample reply lines and the 99 lines of "100" after each request.
    EXPECT_EQ(form->log().lines().count(QStringLiteral("100")), 99);
    for (int p = 1; p <= 99; ++p) {
        EXPECT_EQ(paintsAt[p], 1) << p;
    }
    EXPECT_EQ(curve().size(), 100u);
    EXPECT_EQ(curve()[0], 1350.0);
    EXPECT_EQ(band(), std::vector<double>(100, 1050.0));
    EXPECT_EQ(state.HighPressureSamples.size(), 100u);
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_EQ(state.CompletedFunction, 2);
}

TEST_F(MeasurementTest, EachChannelIsScaledForTheFunctionTheReadWasStartedFor) {
    state.DeviceFirmwareVersion = 12;
    read(6); // oil: tenths of a bar, no band
    receive(QStringLiteral("KR90X_GAMX|    3|"));
    receive(sample("KR90X_GAVA", 1, 1350));
    form->RadioGroup1->setItemIndex(2); // changing the selection mid-way changes nothing
    receive(sample("KR90X_GAVA", 2, 1350));
    EXPECT_EQ(curve(), (std::vector<double>{135.0, 135.0}));
    EXPECT_TRUE(band().empty());
    EXPECT_EQ(state.HighPressureSamples, (std::vector<std::int32_t>{1350, 1350}));
    EXPECT_EQ(state.CompletedFunction, 6);

    read(4); // FSI: tenths of a bar, stored scaled
    receive(QStringLiteral("KR90X_GFMX|    2|"));
    receive(sample("KR90X_GFVA", 1, 1200));
    EXPECT_EQ(curve(), std::vector<double>{120.0});
    EXPECT_EQ(state.FsiSamples[0], 120.0L);

    read(5); // TDI likewise
    receive(QStringLiteral("KR90X_GDMX|    2|"));
    receive(sample("KR90X_GDVA", 1, 55));
    EXPECT_EQ(curve(), std::vector<double>{5.5});
}

TEST_F(MeasurementTest, SamplesWithNoPlaceInTheDownloadAreIgnored) {
    receive(sample("KR90X_GAVA", 1, 100)); // no download runs
    EXPECT_TRUE(curve().empty());
    read(2);
    receive(QStringLiteral("KR90X_GAMX|    5|"));
    for (int k : {0, 5, -1, 99999}) {
        receive(sample("KR90X_GAVA", k, 100));
    }
    receive(sample("KR90X_GTVA", 1, 100)); // another channel's sample
    EXPECT_TRUE(curve().empty());
    EXPECT_EQ(form->pb1->Percent(), 0);
    EXPECT_EQ(state.CurrentCommand, QStringLiteral("KR90X_GAVA|    1|"));
}

TEST_F(MeasurementTest, HomeDuringADownloadThenTheLastSampleShowsTheCurveAgain) {
    read(2);
    receive(QStringLiteral("KR90X_GAMX|    3|"));
    receive(sample("KR90X_GAVA", 1, 700));
    form->btnHome->click();
    EXPECT_FALSE(form->Chart2->isVisible());
    EXPECT_TRUE(form->pb1->isVisible());
    receive(sample("KR90X_GAVA", 2, 800));
    EXPECT_TRUE(form->Chart2->isVisible());
    EXPECT_FALSE(form->btnReaddata->isEnabled());
}

TEST_F(MeasurementTest, EndToEndAgainstTheVirtualTester) {
    auto tester = VirtualTester::create();
    hid.plug(tester->device());
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }));

    read(0);
    ASSERT_TRUE(test::waitFor([&] { return form->chart1->isVisible(); }));
    EXPECT_EQ(form->chart1->Series1.Count(), 6);

    form->btnHome->click();
    read(2);
    ASSERT_TRUE(test::waitFor([&] { return form->Chart2->isVisible(); }, 20000));
    EXPECT_EQ(curve().size(), 999u);
    EXPECT_EQ(band().size(), 999u);
    EXPECT_FALSE(form->pb1->isVisible());
    EXPECT_TRUE(dialogs.boxes.empty());

    // Unplugged half way: the bar stays where the download stopped, the log says so once,
    // and the bar goes when the tester comes back.
    form->btnHome->click();
    bool unplugged = false;
    tester->sampleValue = [&](int, int k) {
        if (k == 500 && !unplugged) {
            unplugged = true;
            QTimer::singleShot(0, [&] { hid.unplug(tester->device()); });
        }
        return 100;
    };
    read(2);
    ASSERT_TRUE(test::waitFor([&] { return unplugged && state.TesterDevice == nullptr; }));
    test::drainEvents();
    EXPECT_TRUE(form->pb1->isVisible());
    EXPECT_GE(form->pb1->Percent(), 49);
    EXPECT_LE(form->pb1->Percent(), 51);
    EXPECT_FALSE(form->Chart2->isVisible());
    const auto cutLines = [&] {
        return std::count_if(form->log().lines().begin(), form->log().lines().end(),
                             [](const QString& l) {
                                 return l.startsWith(QStringLiteral("Curve download cut: the "
                                                                    "tester was unplugged after "));
                             });
    };
    EXPECT_EQ(cutLines(), 1);
    hid.raiseNotice();
    test::drainEvents();
    EXPECT_EQ(cutLines(), 1);
    hid.plug(tester->device());
    ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice != nullptr; }));
    EXPECT_FALSE(form->pb1->isVisible());
    EXPECT_EQ(form->pb1->Percent(), 0);
    EXPECT_TRUE(form->btnReaddata->isEnabled());
}
