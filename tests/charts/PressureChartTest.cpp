#include "ChartProbe.h"

#include "charts/PressureChart.h"

#include <QPainter>
#include <QPicture>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kr90x;
using namespace kr90x::charts;
using kr90x::test::countPixels;
using kr90x::test::DrawnTexts;
using kr90x::test::near;

namespace {

const QColor kGreen{0, 128, 0};
// Silver at 40 % opacity over white.
const QColor kBandOnWhite{230, 230, 230};
const QColor kSilver{192, 192, 192};

class PressureChartTest : public ::testing::Test {
protected:
    FormatSettings format{QLatin1Char(','), QLatin1Char('.')};
    PressureChart chart{format};

    void SetUp() override {
        chart.resize(561, 369);
        chart.setZoomAnimated(false);
    }

    // A read start for a curve function, as the measurement code makes it.
    void readStart(double maximum, const QString& title) {
        chart.setLeftAxisMinimum(0);
        chart.setLeftAxisMaximum(maximum);
        chart.setTitle(title);
        chart.Series2.Clear();
        chart.Series3.Clear();
    }
    void append(double value, bool band) {
        chart.Series2.AddY(value, QString(), chart.Series2.SeriesColor);
        if (band) {
            chart.Series3.AddY(1050.0, QString(), chart.Series3.SeriesColor);
        }
    }
    // The pixel row of a value on the unzoomed scale.
    int rowOf(double value) const {
        const QRectF plot = chart.plotRect();
        return int(std::lround(plot.bottom() - value / chart.leftAxisMaximum() * plot.height()));
    }
    QRect plot() const { return chart.plotRect().toAlignedRect(); }
};

} // namespace

TEST_F(PressureChartTest, HighPressureCurveIsGreenOverTheBandAndCutAtThePlot) {
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    for (int i = 0; i < 1000; ++i) {
        append(i < 500 ? 500 : 8 * (i - 500), true); // a ramp that leaves through the top
    }
    const QImage image = chart.renderImage(chart.size());
    const QRect p = plot();

    // Nothing green outside the plot; the ramp reaches its top edge three quarters of
    // the way across, and is cut there.
    const int green = countPixels(image, image.rect(), near(kGreen, 0));
    EXPECT_GT(green, 500);
    EXPECT_EQ(countPixels(image, p.adjusted(-1, -1, 1, 1), near(kGreen, 0)), green);
    const int x3 = p.left() + p.width() * 3 / 4;
    EXPECT_GT(countPixels(image, QRect(x3 - 5, p.top(), 10, 2), near(kGreen, 0)), 0);
    EXPECT_EQ(countPixels(image, QRect(x3 + 10, p.top(), p.right() - x3 - 10, p.height()),
                          near(kGreen, 0)),
              0);

    // The band: silver at 60 % transparency from the bottom up to 1050 bar, also where
    // the curve stays below it; white above it.
    const int x = p.left() + p.width() / 4;
    EXPECT_TRUE(near(kBandOnWhite)(image.pixelColor(x, rowOf(800))));
    EXPECT_TRUE(near(kBandOnWhite)(image.pixelColor(x, rowOf(1000))));
    EXPECT_TRUE(near(kBandOnWhite)(image.pixelColor(x, rowOf(200))));
    EXPECT_TRUE(near(Qt::white, 0)(image.pixelColor(x, rowOf(1100))));
    EXPECT_TRUE(near(kGreen, 0)(image.pixelColor(x, rowOf(500))));
}

// A kept curve identical to the new one still shows (translucent grey over the green),
// and a legend names both while it is there.
TEST_F(PressureChartTest, AnIdenticalComparisonStaysVisibleAndTheLegendNamesBothCurves) {
    readStart(80, QStringLiteral("Oil Pressure (Bar)"));
    for (int i = 0; i < 300; ++i) {
        append(40, false);
        chart.Comparison.AddY(40);
    }
    const QString legend = QStringLiteral("Grey curve: measured 2026-12-09 18:40, AB-123");
    chart.setComparisonLegend(legend);
    const QImage image = chart.renderImage(chart.size());
    const QRect p = plot();
    const QRect line(p.left() + 10, rowOf(40) - 1, p.width() / 2, 3);
    EXPECT_EQ(countPixels(image, line, near(kGreen, 0)), 0) << "the grey lies over the green";
    EXPECT_GT(countPixels(image, line, near(QColor(75, 128, 75), 40)), 100);
    const DrawnTexts drawn(chart);
    EXPECT_EQ(drawn.count(legend), 1);
    EXPECT_EQ(drawn.count(QStringLiteral("This curve")), 1);

    chart.Comparison.Clear(); // a new read: no grey curve, no legend
    const DrawnTexts after(chart);
    EXPECT_EQ(after.count(legend), 0);
    EXPECT_EQ(after.count(QStringLiteral("This curve")), 0);
    EXPECT_GT(countPixels(chart.renderImage(chart.size()), line, near(kGreen, 0)), 100);
}

TEST_F(PressureChartTest, ScaleIsFixedPerFunctionAndLabelledWithTheProgramsSeparators) {
    // Turbo: a curve peaking at 1200 mbar stays on the 0 to 3000 scale.
    readStart(3000, QStringLiteral("Turbo pressure (mBar)"));
    for (int i = 0; i < 300; ++i) {
        append(1200 * std::sin(i / 299.0 * M_PI), false);
    }
    QImage image = chart.renderImage(chart.size());
    const int peak = rowOf(1200);
    EXPECT_GT(
        countPixels(image, QRect(plot().left(), peak - 2, plot().width(), 5), near(kGreen, 0)), 0);
    EXPECT_EQ(
        countPixels(image,
                    QRect(plot().left(), plot().top(), plot().width(), peak - 3 - plot().top()),
                    near(kGreen, 0)),
        0);
    // No band for anything but high pressure.
    EXPECT_EQ(countPixels(image, plot(), near(kBandOnWhite)), 0);

    const DrawnTexts drawn(chart);
    EXPECT_NE(drawn.find(QStringLiteral("3.000")), nullptr);
    EXPECT_NE(drawn.find(QStringLiteral("0")), nullptr);
    EXPECT_NE(drawn.find(QStringLiteral("Turbo pressure (mBar)")), nullptr);
    // Labels do not overlap and step by 1, 2 or 5 times a power of ten, never below 1.
    const double step = chart.leftAxisStep();
    const double mantissa = step / std::pow(10, std::floor(std::log10(step)));
    EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << step;
    EXPECT_GE(chart.plotRect().height() * step / 3000,
              QFontMetricsF(drawn.texts.front().font).height());

    // TDI: 0 to 10 bar, every unit labelled.
    readStart(10, QStringLiteral("TDI Pressure (Bar)"));
    EXPECT_EQ(chart.leftAxisStep(), 1);
    // With a comma as the thousands separator, 2000 reads 2,000.
    format.ThousandSeparator = QLatin1Char(',');
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    const DrawnTexts again(chart);
    EXPECT_NE(again.find(QStringLiteral("2,000")), nullptr);
}

TEST_F(PressureChartTest, BorderIsSilverWithRoundedCorners) {
    const QImage image = chart.renderImage(chart.size());
    EXPECT_TRUE(near(kSilver, 30)(image.pixelColor(1, 184)));
    EXPECT_TRUE(near(kSilver, 30)(image.pixelColor(280, 367)));
    // The corner is cut round: the corner pixel lies outside the border, the point where
    // the straight edges would meet is not painted silver.
    EXPECT_TRUE(near(Qt::white, 0)(image.pixelColor(2, 2)));
    EXPECT_GT(countPixels(image, QRect(5, 5, 10, 10), near(kSilver, 40)), 0);
}

TEST_F(PressureChartTest, OddCurvesDrawWithoutFault) {
    // Empty: axis and title only.
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    QImage image = chart.renderImage(chart.size());
    EXPECT_EQ(countPixels(image, image.rect(), near(kGreen, 0)), 0);

    // One point: a dot in the middle of the plot.
    append(1000, true);
    image = chart.renderImage(chart.size());
    EXPECT_GT(
        countPixels(image, QRect(plot().center().x() - 3, rowOf(1000) - 3, 7, 7), near(kGreen, 0)),
        0);

    // All equal: one straight line across the width.
    readStart(80, QStringLiteral("Oil Pressure (Bar)"));
    for (int i = 0; i < 50; ++i) {
        append(40, false);
    }
    image = chart.renderImage(chart.size());
    EXPECT_GT(
        countPixels(image, QRect(plot().left(), rowOf(40) - 1, plot().width(), 3), near(kGreen, 0)),
        plot().width());

    // Values the rasteriser could not take: skipped or kept in range.
    append(std::numeric_limits<double>::quiet_NaN(), false);
    append(std::numeric_limits<double>::infinity(), false);
    append(1e300, false);
    append(-1e300, false);
    image = chart.renderImage(chart.size());
    // An axis with no range at all.
    chart.setLeftAxisMaximum(0);
    image = chart.renderImage(chart.size());
}

TEST_F(PressureChartTest, ALongCurveKeepsASingleSpikeWhenThinnedToPixelColumns) {
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    chart.Series2.reserve(65534);
    for (int i = 0; i < 65534; ++i) {
        append(i == 40000 ? 1900 : 500, true);
    }
    for (QSize size : {QSize(561, 369), QSize(1753, 1153)}) {
        const QImage image = chart.renderImage(size);
        const double f = double(size.height()) / 369;
        const QRect top(0, int((rowOf(1900) - 2) * f), size.width(), int(4 * f));
        EXPECT_GT(countPixels(image, top, near(kGreen, 0)), 0) << size.width();
    }
}

TEST_F(PressureChartTest, AppendingSchedulesOnePaintInsteadOfPaintingEachPoint) {
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    QCoreApplication::processEvents();
    struct Counter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    chart.installEventFilter(&counter);
    for (int i = 0; i < 5000; ++i) {
        append(i % 2000, true);
    }
    EXPECT_EQ(counter.paints, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(chart.Series2.Count(), 5000);
    EXPECT_EQ(chart.Series2.X.back(), 4999);
}

TEST_F(PressureChartTest, LeftDragZoomsIntoTheRectangleAndDoubleClickUndoesIt) {
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    for (int i = 0; i <= 1000; ++i) {
        append(i, true);
    }
    chart.show();
    const QRectF p = chart.plotRect();
    const QPoint from(int(p.left() + p.width() * 0.25), int(p.top() + p.height() * 0.25));
    const QPoint to(int(p.left() + p.width() * 0.5), int(p.top() + p.height() * 0.75));
    QTest::mousePress(&chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(&chart, to);
    // While dragging, the rectangle shows in blue; it is not part of the chart itself.
    const QImage dragging = chart.grab().toImage();
    EXPECT_GT(countPixels(dragging, QRect(from.x(), from.y() - 1, to.x() - from.x(), 3),
                          near(QColor(0, 0, 255), 0)),
              (to.x() - from.x()) * 3 / 2);
    EXPECT_EQ(countPixels(chart.renderImage(chart.size()),
                          QRect(from.x(), from.y() - 1, to.x() - from.x(), 3),
                          near(QColor(0, 0, 255), 0)),
              0);
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, to);

    ASSERT_TRUE(chart.zoomed());
    PressureChart::View v = chart.currentView();
    EXPECT_NEAR(v.xMin, 250, 3);
    EXPECT_NEAR(v.xMax, 500, 3);
    EXPECT_NEAR(v.yMax, 1500, 10);
    EXPECT_NEAR(v.yMin, 500, 10);

    QTest::mouseDClick(&chart, Qt::LeftButton, {}, to);
    EXPECT_FALSE(chart.zoomed());
    v = chart.currentView();
    EXPECT_EQ(v, (PressureChart::View{0, 1000, 0, 2000}));

    // Dragging up and to the left also goes back to the whole curve.
    chart.zoomToRect(QRectF(from, to));
    ASSERT_TRUE(chart.zoomed());
    QTest::mousePress(&chart, Qt::LeftButton, {}, to);
    QTest::mouseMove(&chart, from);
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, from);
    EXPECT_FALSE(chart.zoomed());

    // So does the next read start.
    chart.zoomToRect(QRectF(from, to));
    readStart(80, QStringLiteral("Oil Pressure (Bar)"));
    EXPECT_FALSE(chart.zoomed());
}

TEST_F(PressureChartTest, ZoomIsAnimatedInSteps) {
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    for (int i = 0; i <= 1000; ++i) {
        append(i, false);
    }
    chart.setZoomAnimated(true);
    const QRectF p = chart.plotRect();
    int changes = 0;
    QObject::connect(&chart, &PressureChart::viewChanged, [&] { ++changes; });
    std::vector<double> widths;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const auto v = chart.currentView();
        widths.push_back(v.xMax - v.xMin);
    });
    sampler.start(1);
    chart.zoomToRect(QRectF(p.center(), p.bottomRight()));
    EXPECT_TRUE(chart.zoomAnimating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chart.zoomAnimating(); }, 10000));
    sampler.stop();
    EXPECT_NEAR(chart.currentView().xMin, 500, 2);
    EXPECT_NEAR(chart.currentView().xMax, 1000, 2);
    // The view shrank through widths in between, never jumping back.
    const auto between =
        std::count_if(widths.begin(), widths.end(), [](double w) { return w < 990 && w > 510; });
    EXPECT_GT(between, 0);
    EXPECT_TRUE(std::is_sorted(widths.rbegin(), widths.rend()));
    EXPECT_EQ(changes, 1);
}

TEST_F(PressureChartTest, RightDragScrollsAlongBothAxes) {
    readStart(2000, QStringLiteral("Common rail high pressure (Bar)"));
    for (int i = 0; i <= 1000; ++i) {
        append(1000, true);
    }
    chart.show();
    const QRectF p = chart.plotRect();
    QTest::mousePress(&chart, Qt::RightButton, {}, QPoint(300, 200));
    QTest::mouseMove(&chart, QPoint(300 + int(p.width() / 10), 200 - int(p.height() / 4)));
    QTest::mouseRelease(&chart, Qt::RightButton, {},
                        QPoint(300 + int(p.width() / 10), 200 - int(p.height() / 4)));
    const auto v = chart.currentView();
    EXPECT_NEAR(v.xMin, -100, 2);
    EXPECT_NEAR(v.xMax, 900, 2);
    // The content follows the mouse: dragged up, it shows lower values.
    EXPECT_NEAR(v.yMin, -500, 10);
    EXPECT_NEAR(v.yMax, 1500, 10);
    // The scrolled line now sits higher, and the picture for a report shows it so.
    QPicture picture;
    chart.writeChartPicture(picture);
    QImage played(chart.size(), QImage::Format_ARGB32_Premultiplied);
    played.fill(Qt::white);
    QPainter painter(&played);
    picture.play(&painter);
    painter.end();
    const int row = int(std::lround(p.bottom() - (1000.0 + 500) / 2000 * p.height()));
    EXPECT_GT(
        countPixels(played, QRect(int(p.left()), row - 2, int(p.width()), 5), near(kGreen, 0)),
        int(p.width()) / 2);
}

// The layout is kept from one paint to the next: every change it depends on must still
// show at once.
TEST_F(PressureChartTest, TheKeptLayoutFollowsEveryChangeItDependsOn) {
    readStart(80, QStringLiteral("Oil Pressure (Bar)"));
    const QRectF one = chart.plotRect();
    EXPECT_EQ(chart.plotRect(), one);

    chart.setTitleLines({QStringLiteral("Oil Pressure (Bar)"), QStringLiteral("second line")});
    const QRectF twoLines = chart.plotRect();
    EXPECT_GT(twoLines.top(), one.top());

    chart.setLeftAxisMaximum(20000); // wider labels: "20.000"
    const QRectF wide = chart.plotRect();
    EXPECT_GT(wide.left(), twoLines.left());
    format.ThousandSeparator = QLatin1Char('W'); // a far wider separator, read at once
    EXPECT_GT(chart.plotRect().left(), wide.left());

    chart.resize(400, 300);
    EXPECT_LT(chart.plotRect().right(), wide.right());

    // A zoom changes the label step, and undoing it brings the first layout back.
    const double step = chart.leftAxisStep();
    chart.zoomToRect(QRectF(chart.plotRect().topLeft(), QSizeF(100, 20)));
    EXPECT_LT(chart.leftAxisStep(), step);
    chart.undoZoom();
    EXPECT_EQ(chart.leftAxisStep(), step);
}
