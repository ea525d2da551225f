// Two reads, or a read and a late reply, that overlap in the window: what is shown and
// kept is one whole result or nothing, never pieces of two.
#include "RecordsWindowFixture.h"

#include "app/GradientProgressBar.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "simulator/VirtualTester.h"

using namespace kr90x;

namespace {

constexpr int kTurbo = 3;
const QString kTimeOutText =
    QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X");

class MeasurementOverlapTest : public test::RecordsTest {
protected:
    std::shared_ptr<VirtualTester> tester;

    // A tester that answers every command late: after the reply timer has run out.
    void plugSlowTester(int samples) {
        using std::chrono::milliseconds;
        form->Timer1->setInterval(40);
        tester = VirtualTester::create();
        tester->options.delay = milliseconds(70);
        tester->options.samples = samples;
        tester->sampleValue = [](int, int k) { return 100 + k; };
        hid.plug(tester->device());
        ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }));
        dialogs.boxes.clear();
    }
    bool downloading() const { return form->pb1->isVisibleTo(form.get()); }
    // The turbo curve the slow tester holds: 100 + k for sample k.
    static std::vector<double> storedCurve(int samples) {
        std::vector<double> y;
        for (int k = 1; k < samples; ++k) {
            y.push_back(100 + k);
        }
        return y;
    }
    int sampleRequestsAfterTheLastCount() const {
        int requests = 0;
        for (const std::vector<std::uint8_t>& report : tester->device()->written()) {
            const QByteArray command(reinterpret_cast<const char*>(report.data()) + 1, 10);
            if (command == "KR90X_GTMX") {
                requests = 0;
            } else if (command == "KR90X_GTVA") {
                ++requests;
            }
        }
        return requests;
    }
    std::vector<std::vector<double>> keptCurves() {
        std::vector<std::vector<double>> curves;
        for (const records::RecordSummary& r : kept()) {
            curves.push_back(form->records().store().load(r.id).value().samples);
        }
        return curves;
    }
};

} // namespace

// The time-out box is answered before the late count comes; Read data is pressed while
// the download it started runs. The later count starts the curve again, the first
// chain's answers fall away, and one curve of the stored length is shown and kept.
TEST_F(MeasurementOverlapTest, ReadPressedDuringALateDownloadGivesOneCleanCurve) {
    openStore();
    constexpr int kCount = 30;
    plugSlowTester(kCount);
    form->RadioGroup1->setItemIndex(kTurbo);
    form->btnReaddata->click();
    ASSERT_TRUE(test::waitFor([&] { return downloading() && form->pb1->Percent() >= 20; }));
    ASSERT_EQ(dialogs.boxes.at(0).text, kTimeOutText);
    ASSERT_TRUE(form->btnReaddata->isEnabled()); // the box came before the download
    form->btnReaddata->click();
    ASSERT_TRUE(test::waitFor([&] { return form->Chart2->isVisible(); }, 20000));
    // Every answer still on its way comes in, and falls away.
    ASSERT_TRUE(test::waitFor([&] { return tester->device()->pendingInput() == 0; }));
    test::drainEvents();

    EXPECT_EQ(form->Chart2->Series2.Y, storedCurve(kCount));
    EXPECT_EQ(keptCurves(), std::vector<std::vector<double>>{storedCurve(kCount)});
    EXPECT_FALSE(downloading());
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    // One chain of requests after the second count: its own samples, and at most the one
    // the first chain's last answer asked for before that count came.
    EXPECT_LE(sampleRequestsAfterTheLastCount(), kCount);
}

// The late count starts the download while the time-out box is still open: closing the
// box must not offer a second read beside the one that runs.
TEST_F(MeasurementOverlapTest, ADownloadStartedBehindTheTimeOutBoxKeepsReadDataDisabled) {
    openStore();
    constexpr int kCount = 8;
    plugSlowTester(kCount);
    bool startedBehindBox = false;
    dialogs.onBox = [&](const MessageBox& box) {
        if (box.text == kTimeOutText) {
            startedBehindBox = test::waitFor([&] { return downloading(); });
        }
    };
    form->RadioGroup1->setItemIndex(kTurbo);
    form->btnReaddata->click();
    ASSERT_TRUE(test::waitFor([&] { return startedBehindBox; }));
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    dialogs.onBox = nullptr;
    ASSERT_TRUE(test::waitFor([&] { return form->Chart2->isVisible(); }, 20000));
    EXPECT_EQ(form->Chart2->Series2.Y, storedCurve(kCount));
    EXPECT_EQ(keptCurves().size(), 1u);
}

// A petrol reply with a letter in cylinder 4 after a diesel result: the diesel result
// stays whole on screen, on the report and in the records.
TEST_F(MeasurementOverlapTest, ACompressionReplyWithABadFieldLeavesTheLastResultWhole) {
    openStore();
    read(1);
    receive(QStringLiteral("KR90X_COMD|0285|0290|0281|0288|0292|0286"));
    const std::vector<double> bars = form->chart1->Series1.Bar;
    const auto cylinderTexts = [&] {
        QStringList texts;
        for (std::size_t n = 1; n <= kCylinders; ++n) {
            texts.append(form->RepProject1->param(QStringLiteral("Cilindro_%1").arg(n)));
        }
        return texts;
    };
    const QStringList diesel = cylinderTexts();
    ASSERT_EQ(diesel[0], QStringLiteral("Cylinder # 1: 28,5 Bar"));

    read(0);
    receive(QStringLiteral("KR90X_COMG|0125|0130|0098|12a0|0120|0000"));
    EXPECT_EQ(form->log().count(), 1 + 10); // the reply and its lines, as sent
    EXPECT_EQ(form->chart1->Series1.Bar, bars);
    EXPECT_EQ(form->chart1->titleLines(), QStringList{QStringLiteral("Diesel Compression")});
    EXPECT_TRUE(form->chart1->isVisible());
    EXPECT_EQ(cylinderTexts(), diesel);
    EXPECT_EQ(state.PetrolValues, CylinderValues{});
    EXPECT_EQ(state.CompletedFunction, 1);
    EXPECT_TRUE(form->btnReport->isEnabled()); // the diesel report, still
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(kept().size(), 1u);
}
