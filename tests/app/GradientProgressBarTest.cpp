#include "app/GradientProgressBar.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {
QImage paintedBar(int percent) {
    GradientProgressBar bar;
    bar.resize(704, 25);
    bar.setPercent(percent);
    return bar.grab().toImage();
}
bool isBlack(QColor c) {
    return c.red() < 16 && c.green() < 16 && c.blue() < 16;
}
} // namespace

TEST(GradientProgressBar, IgnoresValuesOutsideTheRangeAndRepeats) {
    GradientProgressBar bar;
    EXPECT_EQ(bar.Percent(), 0);
    EXPECT_EQ(bar.caption(), QStringLiteral("Progress...[0%]"));
    bar.setPercent(37);
    EXPECT_EQ(bar.caption(), QStringLiteral("Progress...[37%]"));
    bar.setPercent(101);
    EXPECT_EQ(bar.Percent(), 37);
    bar.setPercent(-1);
    EXPECT_EQ(bar.Percent(), 37);
    bar.setPercent(100);
    EXPECT_EQ(bar.Percent(), 100);
    bar.setPercent(0);
    EXPECT_EQ(bar.Percent(), 0);
}

// The corners stay clear of the centred caption, so they show the bar itself.
TEST(GradientProgressBar, EmptyBarIsBlackAndAStartedOneFillsItsShareFromTheLeft) {
    const QImage empty = paintedBar(0);
    EXPECT_TRUE(isBlack(empty.pixelColor(2, 22)));
    EXPECT_TRUE(isBlack(empty.pixelColor(700, 22)));

    const QImage half = paintedBar(50);
    // Low in the filled share the gradient is near yellow; low in the rest near green.
    const QColor filled = half.pixelColor(10, 23);
    EXPECT_GT(filled.red(), 150);
    EXPECT_GT(filled.green(), 150);
    const QColor rest = half.pixelColor(600, 23);
    EXPECT_LT(rest.red(), 30);
    EXPECT_GT(rest.green(), 90);
    // The top of the unfilled body is near black (black-to-green gradient).
    EXPECT_TRUE(isBlack(half.pixelColor(600, 0)));
    // Every fourth column is black across the whole bar.
    EXPECT_TRUE(isBlack(half.pixelColor(11, 23)));
    EXPECT_TRUE(isBlack(half.pixelColor(603, 23)));
    EXPECT_FALSE(isBlack(half.pixelColor(602, 23)));
}

TEST(GradientProgressBar, CaptionIsDrawnInBlueInTheMiddle) {
    const QImage image = paintedBar(50);
    int blue = 0;
    for (int x = 300; x < 404; ++x) {
        for (int y = 0; y < 25; ++y) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    }
    EXPECT_GT(blue, 20);
}
