// A report describes exactly what the charts show: never a curve that a new read has
// emptied or rescaled, never a scrolled view left over from an earlier result.
#include "WindowFixture.h"

#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "reports/PageDescription.h"

#include <QPicture>
#include <QTest>

using namespace kr90x;

namespace {

class ReportAgreementTest : public test::WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        // Every report is cancelled in "Output Options": what counts is whether one starts.
        dialogs.answerOptions = [](const reports::OutputOptionsRequest&) {
            return reports::OutputOptionsAnswer{};
        };
    }
    void oilCurve(int samples) {
        read(6);
        receive(QStringLiteral("KR90X_GAMX|%1|").arg(samples + 1, 5));
        for (int k = 1; k <= samples; ++k) {
            receive(sample("KR90X_GAVA", k, 400 + k));
        }
    }
    void petrolResult() { receive(QStringLiteral("KR90X_COMG|0125|0130|0098|0110|0120|0000")); }
    // Whether a Report click now starts a report (the button pressed as the user would,
    // when it lets them).
    bool reportStarts() {
        const std::size_t before = dialogs.optionRequests.size();
        form->btnReport->click();
        return dialogs.optionRequests.size() > before;
    }
    static QImage pictureOf(const charts::ChartWidget& chart) {
        QPicture picture;
        chart.writeChartPicture(picture);
        QImage image(chart.logicalSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        reports::drawPictureInto(painter, picture, chart.logicalSize(),
                                 QRectF(QPointF(0, 0), chart.logicalSize()));
        return image;
    }
};

} // namespace

TEST_F(ReportAgreementTest, ANewCurveReadDropsTheReportOfTheCurveItEmpties) {
    oilCurve(20);
    ASSERT_TRUE(form->Chart2->isVisible());
    ASSERT_TRUE(form->btnReport->isEnabled());

    // After a re-plug: a high-pressure read empties and rescales the chart, then stops
    // half-way. The oil report would print "OIL PRESSURE TEST" over part of that curve.
    read(2);
    receive(QStringLiteral("KR90X_GAMX|   11|"));
    for (int k = 1; k <= 4; ++k) {
        receive(sample("KR90X_GAVA", k, 1500));
    }
    EXPECT_TRUE(form->Chart2->Series2.isEmpty()); // a curve goes in only when it is whole
    EXPECT_FALSE(form->btnReport->isEnabled());
    EXPECT_FALSE(form->Chart2->isVisible());
    EXPECT_EQ(state.CompletedFunction, -1);
    EXPECT_FALSE(reportStarts());
    form->btnReport->setEnabled(true); // even a button left enabled makes no report
    EXPECT_FALSE(reportStarts());

    // The curve completes: its own report, under its own title.
    for (int k = 5; k <= 10; ++k) {
        receive(sample("KR90X_GAVA", k, 1500));
    }
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_EQ(state.CompletedFunction, 2);
    EXPECT_TRUE(reportStarts());
}

TEST_F(ReportAgreementTest, ARefusedReadThatRescalesTheCurveDropsItsReportToo) {
    oilCurve(5);
    state.DeviceFirmwareVersion = 11; // turbo needs a newer tester
    read(3);
    EXPECT_EQ(form->Chart2->leftAxisMaximum(), 3000); // oil's curve on turbo's scale...
    EXPECT_EQ(form->Chart2->Series2.Count(), 5);
    EXPECT_FALSE(form->Chart2->isVisible());    // ...is not shown,
    EXPECT_FALSE(form->btnReport->isEnabled()); // and not reported.
    EXPECT_FALSE(reportStarts());
}

TEST_F(ReportAgreementTest, ACompressionResultAfterACurveIsWhatShowsAndWhatIsReported) {
    oilCurve(5);
    read(0);
    // The emptied curve chart no longer lies over the bars that come.
    EXPECT_FALSE(form->Chart2->isVisible());
    EXPECT_FALSE(form->btnReport->isEnabled());
    petrolResult();
    EXPECT_TRUE(form->chart1->isVisible());
    EXPECT_FALSE(form->Chart2->isVisible());
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_TRUE(reportStarts());
    EXPECT_EQ(dialogs.optionRequests.back().caption, QStringLiteral("Output Options"));

    // The bars stay what the report describes while a curve downloads beneath them.
    read(2);
    receive(QStringLiteral("KR90X_GAMX|    5|"));
    receive(QStringLiteral("KR90X_GAVA|    1|1500|"));
    EXPECT_TRUE(form->chart1->isVisible());
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_EQ(state.CompletedFunction, 0);
}

TEST_F(ReportAgreementTest, ANewCompressionResultShowsTheWholeChartAgain) {
    petrolResult();
    const QImage unscrolled = pictureOf(*form->chart1);
    const QPoint from(300, 200);
    QTest::mousePress(form->chart1, Qt::RightButton, {}, from);
    QTest::mouseMove(form->chart1, from + QPoint(-120, 40));
    QTest::mouseRelease(form->chart1, Qt::RightButton, {}, from + QPoint(-120, 40));
    ASSERT_TRUE(form->chart1->scrolled());
    ASSERT_NE(pictureOf(*form->chart1), unscrolled);

    form->btnHome->click();
    EXPECT_TRUE(form->chart1->scrolled()); // Home keeps what the chart holds
    read(0);
    petrolResult();
    EXPECT_FALSE(form->chart1->scrolled());
    // The report's picture is the whole chart, as on screen.
    EXPECT_EQ(pictureOf(*form->chart1), unscrolled);
}
