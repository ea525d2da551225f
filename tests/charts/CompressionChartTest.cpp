#include "ChartProbe.h"

#include "charts/CompressionChart.h"

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

const QColor kBar{68, 102, 163};
const QColor kMarkFill{255, 255, 225};
constexpr int kMarkPixels = 11; // Arial 8 pt at 96 dpi

class CompressionChartTest : public ::testing::Test {
protected:
    // The program's separators after start, on a system grouping with a full stop.
    FormatSettings format{QLatin1Char(','), QLatin1Char('.')};
    CompressionChart chart{format};

    void SetUp() override { chart.resize(561, 369); }

    // Fills the chart as a decoded petrol result does: cylinder 6 first.
    void petrolResult(const std::array<double, 6>& values) {
        chart.Series1.Clear();
        chart.setTitle(QStringLiteral("Petrol Compression"));
        for (int n = 6; n >= 1; --n) {
            chart.Series1.AddBar(values[n - 1], QStringLiteral("Cyl # %1").arg(n),
                                 chart.Series1.SeriesColor);
        }
    }

    DrawnTexts texts() const { return DrawnTexts(chart); }
};

} // namespace

TEST_F(CompressionChartTest, ResultShowsCylinderOneOnTopAndEveryValueBesideItsBar) {
    petrolResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    const QImage image = chart.renderImage(chart.size());

    // Bar k (added k-th) stands above bar k-1; the last added, cylinder 1, is the top one.
    for (int k = 1; k < 6; ++k) {
        EXPECT_LT(chart.barPlace(k).front.center().y(), chart.barPlace(k - 1).front.center().y());
    }
    const DrawnTexts drawn = texts();
    for (int n = 1; n <= 6; ++n) {
        const auto* label = drawn.find(QStringLiteral("Cyl # %1").arg(n));
        ASSERT_NE(label, nullptr) << n;
        if (n > 1) {
            const auto* above = drawn.find(QStringLiteral("Cyl # %1").arg(n - 1));
            EXPECT_LT(above->at.y(), label->at.y()) << n;
        }
    }
    ASSERT_NE(drawn.find(QStringLiteral("Petrol Compression")), nullptr);

    // Lengths follow the values; the bar of cylinder 6 (0 bar) has no length at all.
    const QRectF c1 = chart.barPlace(5).front; // 12.5
    const QRectF c3 = chart.barPlace(3).front; // 9.8
    EXPECT_NEAR(c3.width() / c1.width(), 9.8 / 12.5, 0.01);
    EXPECT_EQ(chart.barPlace(0).front.width(), 0);

    // Every bar is drawn in the series colour, and its mark lies 20 px beyond the bar's
    // end (at the bar's middle depth), showing the value with a decimal comma.
    for (int k = 0; k < 6; ++k) {
        const auto place = chart.barPlace(k);
        if (place.front.width() > 4) {
            EXPECT_TRUE(near(kBar, 1)(image.pixelColor(place.front.center().toPoint()))) << k;
        }
        const QRectF mark(place.markTopLeft, place.markSize);
        EXPECT_GT(countPixels(image, mark.adjusted(2, 2, -2, -2).toRect(), near(kMarkFill)), 10)
            << k;
        EXPECT_GE(mark.left() - place.front.right(), 20) << k;
    }
    for (const char* mark : {"12,5", "13", "9,8", "11", "12", "0"}) {
        EXPECT_NE(drawn.find(QString::fromLatin1(mark)), nullptr) << mark;
    }
}

TEST_F(CompressionChartTest, DemoBarsReadCylinderSixDownToOneWithoutTouchingTheTitle) {
    chart.setTitle(QStringLiteral("Diesel Compression"));
    chart.hide();
    petrolResult({1, 2, 3, 4, 5, 6});
    chart.setTitle(QStringLiteral("Diesel Compression"));
    chart.addDemoBars();

    ASSERT_EQ(chart.Series1.Count(), 6); // the earlier bars are gone
    EXPECT_EQ(chart.titleLines(), QStringList{QStringLiteral("Diesel Compression")});
    EXPECT_FALSE(chart.isVisible());
    const DrawnTexts drawn = texts();
    const auto* top = drawn.find(QStringLiteral("Cyl #6"));
    const auto* bottom = drawn.find(QStringLiteral("Cyl #1"));
    ASSERT_TRUE(top && bottom);
    EXPECT_LT(top->at.y(), bottom->at.y());
    // The top bar's mark reads 20; 40.2 keeps its decimal, with a comma.
    const auto* twenty = drawn.find(QStringLiteral("20"), kMarkPixels);
    ASSERT_NE(twenty, nullptr);
    EXPECT_NEAR(twenty->at.y(), top->at.y(), 20);
    EXPECT_NE(drawn.find(QStringLiteral("40,2")), nullptr);
}

TEST_F(CompressionChartTest, ValueAxisStartsAtZeroAndEndsOnAWholeStepWithoutCrowdedLabels) {
    for (int width : {561, 300, 200, 140}) {
        chart.resize(width, 369);
        for (double top : {11.4, 12.2, 70.0, 980.0, 12345.6}) {
            chart.Series1.Clear();
            chart.Series1.AddBar(top * 0.9, QStringLiteral("a"));
            chart.Series1.AddBar(top, QStringLiteral("b"));
            const auto axis = chart.valueAxis();
            SCOPED_TRACE(testing::Message() << "width " << width << " top " << top);
            EXPECT_EQ(axis.minimum, 0);
            EXPECT_GE(axis.step, 1);
            EXPECT_GE(axis.maximum, top);
            EXPECT_LT(axis.maximum - axis.step, top); // the next multiple, not further
            EXPECT_NEAR(std::remainder(axis.maximum, axis.step), 0, 1e-9);

            // Neighbouring value labels leave room between them.
            std::vector<kr90x::test::DrawnText> labels;
            for (const auto& t : texts().texts) {
                if (t.font.pixelSize() == 12) {
                    labels.push_back(t);
                }
            }
            ASSERT_GE(labels.size(), 2u);
            for (std::size_t i = 1; i < labels.size(); ++i) {
                const qreal w =
                    QFontMetricsF(labels[i - 1].font).horizontalAdvance(labels[i - 1].text);
                EXPECT_GT(labels[i].at.x(), labels[i - 1].at.x() + w) << qPrintable(labels[i].text);
            }
        }
    }
    // A wide chart labels every unit; a narrow one takes larger steps of 1, 2, 5, ...
    chart.resize(561, 369);
    chart.Series1.Clear();
    chart.Series1.AddBar(11.4, QStringLiteral("a"));
    EXPECT_EQ(chart.valueAxis().step, 1);
    EXPECT_EQ(chart.valueAxis().maximum, 12);
    int width = 561;
    while (width > 50 && chart.valueAxis().step == 1) {
        chart.resize(--width, 369);
    }
    EXPECT_EQ(chart.valueAxis().step, 2);
    EXPECT_EQ(chart.valueAxis().maximum, 12);
}

TEST_F(CompressionChartTest, OddDataDrawsWithoutFault) {
    // No bars: walls, axis and title only.
    chart.Series1.Clear();
    QImage image = chart.renderImage(chart.size());
    EXPECT_EQ(countPixels(image, image.rect(), near(kBar, 1)), 0);
    EXPECT_EQ(chart.valueAxis().maximum, 1);

    // All zero: an axis from 0 to 1, six empty bars, six marks "0".
    petrolResult({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(chart.valueAxis().minimum, 0);
    EXPECT_EQ(chart.valueAxis().maximum, 1);
    EXPECT_EQ(texts().count(QStringLiteral("0")), 7); // six marks and the axis origin

    // A negative value extends the axis below 0; its bar and mark lie left of the origin.
    petrolResult({12, -3.5, 11, 10, 9, 8});
    EXPECT_LT(chart.valueAxis().minimum, 0);
    const auto negative = chart.barPlace(4);
    EXPECT_LT(negative.front.left(), chart.barPlace(5).front.left());
    EXPECT_LT(negative.markTopLeft.x() + negative.markSize.width(), negative.front.left());
    EXPECT_NE(texts().find(QStringLiteral("-3,5")), nullptr);

    // Not a number, infinite and enormous values, a single bar, a tiny chart.
    petrolResult({std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                  1e300, -1e300, 5, 6});
    image = chart.renderImage(chart.size());
    chart.Series1.Clear();
    chart.Series1.AddBar(7, QStringLiteral("one"));
    EXPECT_TRUE(chart.barPlace(0).labelShown);
    chart.resize(1, 1);
    image = chart.renderImage(QSize(1, 1));
    EXPECT_EQ(image.size(), QSize(1, 1));
}

TEST_F(CompressionChartTest, RightButtonScrollsBothWaysAndADoubleClickUndoesIt) {
    chart.addDemoBars();
    chart.show();
    const QRectF before = chart.barPlace(2).front;
    QTest::mousePress(&chart, Qt::RightButton, {}, QPoint(300, 200));
    QTest::mouseMove(&chart, QPoint(340, 230));
    QTest::mouseRelease(&chart, Qt::RightButton, {}, QPoint(340, 230));
    const QRectF after = chart.barPlace(2).front;
    EXPECT_NEAR(after.right() - before.right(), 40, 0.5);
    EXPECT_NEAR(after.center().y() - before.center().y(), 30, 0.5);
    EXPECT_TRUE(chart.scrolled());

    // The left button does not zoom this chart.
    QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&chart, QPoint(300, 300));
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_EQ(chart.barPlace(2).front, after);

    QTest::mouseDClick(&chart, Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_FALSE(chart.scrolled());
    EXPECT_EQ(chart.barPlace(2).front, before);
}

// The layout is kept between paints: whatever it was measured from that changes makes
// it anew, and a scroll moves the kept one.
TEST_F(CompressionChartTest, TheKeptLayoutFollowsTheBarsTheSeparatorsTheSizeAndTheScroll) {
    petrolResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    chart.show();
    const double top = chart.valueAxis().maximum;
    chart.Series1.AddBar(1234.5, QStringLiteral("Cyl # 7"));
    EXPECT_GT(chart.valueAxis().maximum, 1000);
    const QSizeF grouped = chart.barPlace(6).markSize; // "1.234,5"
    format.ThousandSeparator = QChar(0);
    EXPECT_LT(chart.barPlace(6).markSize.width(), grouped.width()); // "1234,5"
    const QRectF wide = chart.barPlace(6).front;
    chart.resize(400, 369);
    EXPECT_LT(chart.barPlace(6).front.width(), wide.width());
    const CompressionChart::ValueAxis before = chart.valueAxis();
    QTest::mousePress(&chart, Qt::RightButton, {}, QPoint(300, 200));
    QTest::mouseMove(&chart, QPoint(260, 200));
    QTest::mouseRelease(&chart, Qt::RightButton, {}, QPoint(260, 200));
    const CompressionChart::ValueAxis scrolled = chart.valueAxis();
    EXPECT_GT(scrolled.minimum, before.minimum);
    EXPECT_DOUBLE_EQ(scrolled.maximum - scrolled.minimum, before.maximum - before.minimum);
    EXPECT_EQ(scrolled.step, before.step);
    chart.resetView();
    EXPECT_DOUBLE_EQ(chart.valueAxis().minimum, before.minimum);
    chart.resize(561, 369);
    petrolResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    EXPECT_DOUBLE_EQ(chart.valueAxis().maximum, top);
}

TEST_F(CompressionChartTest, PictureAndRastersShowTheSameChartAsTheScreen) {
    petrolResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    QPicture picture;
    chart.writeChartPicture(picture);
    EXPECT_EQ(picture.boundingRect(), QRect(0, 0, 561, 369));

    QImage played(chart.size(), QImage::Format_ARGB32_Premultiplied);
    played.fill(Qt::white);
    QPainter p(&played);
    picture.play(&p);
    p.end();
    const QImage direct = chart.renderImage(chart.size());
    int differing = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            differing += near(direct.pixelColor(x, y), 8)(played.pixelColor(x, y)) ? 0 : 1;
        }
    }
    // Text is placed a little differently on playback; everything else is the same.
    EXPECT_LT(differing, direct.width() * direct.height() / 100);
    for (int k = 0; k < 6; ++k) {
        const QPoint c = chart.barPlace(k).front.center().toPoint();
        EXPECT_EQ(played.pixel(c), direct.pixel(c)) << k;
    }

    // 300 dpi: the printed size of 561 x 369 screen pixels, the same bars in place.
    const QImage print = chart.renderAtDpi(300);
    EXPECT_EQ(print.size(), QSize(1753, 1153));
    EXPECT_EQ(print.dotsPerMeterX(), 11811);
    const double f = 1753.0 / 561;
    for (int k = 0; k < 6; ++k) {
        const QRectF bar = chart.barPlace(k).front;
        if (bar.width() > 4) {
            EXPECT_TRUE(near(kBar, 1)(print.pixelColor((bar.center() * f).toPoint()))) << k;
        }
    }
}
