#include "charts/AxisSteps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kr90x;
using namespace kr90x::charts;

TEST(ChartNumbers, UseThePictureWithTheOwnersSeparators) {
    const FormatSettings dotGroups{QLatin1Char(','), QLatin1Char('.')};
    EXPECT_EQ(chartNumber(12.5, dotGroups), QStringLiteral("12,5"));
    EXPECT_EQ(chartNumber(12.0, dotGroups), QStringLiteral("12"));
    EXPECT_EQ(chartNumber(0.0, dotGroups), QStringLiteral("0"));
    EXPECT_EQ(chartNumber(2000, dotGroups), QStringLiteral("2.000"));
    EXPECT_EQ(chartNumber(1234.56789, dotGroups), QStringLiteral("1.234,568"));
    EXPECT_EQ(chartNumber(-3.25, dotGroups), QStringLiteral("-3,25"));
    const FormatSettings commaGroups{QLatin1Char(','), QLatin1Char(',')};
    EXPECT_EQ(chartNumber(12345.5, commaGroups), QStringLiteral("12,345,5"));
}

TEST(LabelSteps, RunOneTwoFiveAndEndOnceAStepSpansTheRange) {
    std::vector<double> seen;
    double s = 0.001;
    for (int i = 0; i < 10; ++i) {
        seen.push_back(s);
        s = nextLabelStep(s);
    }
    const std::vector<double> want{0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(seen[i], want[i], want[i] * 1e-9);
    }
    EXPECT_EQ(nextLabelStep(50), 100);

    // Nothing fits: the search stops at the first step covering the span.
    EXPECT_EQ(chooseLabelStep(130, 1, 100, [](double) { return false; }), 200);
    EXPECT_EQ(chooseLabelStep(130, 1, 100, [](double s) { return s >= 20; }), 20);
    // Absurd spans end too.
    EXPECT_EQ(chooseLabelStep(0, 1, 100, [](double) { return false; }), 1);
    EXPECT_EQ(chooseLabelStep(std::numeric_limits<double>::infinity(), 1, 100,
                              [](double) { return false; }),
              1);
    EXPECT_TRUE(std::isfinite(chooseLabelStep(1e308, 1, 100, [](double) { return false; })));
    // A huge span starts near its own scale: few tries, not hundreds.
    int tries = 0;
    const double big = chooseLabelStep(2e300, 1, 50, [&](double s) {
        ++tries;
        return 2e300 / s <= 20;
    });
    EXPECT_GE(big, 1e299);
    EXPECT_LE(tries, 5);

    // Multiples: no "-0", no point missed through rounding, bounded.
    std::vector<double> ticks;
    forEachMultiple(-0.3, 0.3, 0.1, [&](double v) { ticks.push_back(v); });
    ASSERT_EQ(ticks.size(), 7u);
    EXPECT_FALSE(std::signbit(ticks[3]));
    int count = 0;
    forEachMultiple(0, 1e300, 1, [&](double) { ++count; });
    EXPECT_LE(count, 10000);
}
