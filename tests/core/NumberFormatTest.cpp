#include "core/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kr90x;

namespace {
const FormatSettings kFullStop{QLatin1Char('.'), QLatin1Char(',')};
const FormatSettings kComma{QLatin1Char(','), QLatin1Char('.')};

QString fmt(QStringView pattern, std::initializer_list<FormatArg> args,
            const FormatSettings& s = kComma) {
    return formatText(pattern, args, s);
}
} // namespace

TEST(NumberFormat, VersionTextUsesTheSeparatorItIsGiven) {
    EXPECT_EQ(fmt(kVersionFormat, {1.04}, kFullStop), QStringLiteral("Version 1.04"));
    EXPECT_EQ(fmt(kVersionFormat, {1.04}, kComma), QStringLiteral("Version 1,04"));
    // A width smaller than the number never cuts it.
    EXPECT_EQ(fmt(u"%1.2f", {123.456}), QStringLiteral("123,46"));
}

TEST(NumberFormat, CylinderTextPadsGroupsAndUsesTheDecimalComma) {
    EXPECT_EQ(fmt(kCylinderFormat, {3u, 12.5}), QStringLiteral("Cylinder # 3: 12,5 Bar"));
    EXPECT_EQ(fmt(kCylinderFormat, {1u, 9.8}), QStringLiteral("Cylinder # 1:  9,8 Bar"));
    EXPECT_EQ(fmt(kCylinderFormat, {6u, 0.0}), QStringLiteral("Cylinder # 6:  0,0 Bar"));
    EXPECT_EQ(fmt(kCylinderFormat, {2u, 1234.56}), QStringLiteral("Cylinder # 2: 1.234,6 Bar"));
    const FormatSettings space{QLatin1Char(','), QChar(0x00A0)};
    EXPECT_EQ(fmt(u"%4.1n", {1234567.0}, space), QStringLiteral("1\u00A0234\u00A0567,0"));
    EXPECT_EQ(fmt(u"%4.1n", {-1234.5}), QStringLiteral("-1.234,5"));
}

TEST(NumberFormat, RealsRoundHalfAwayFromZeroOnTheirDecimalForm) {
    EXPECT_EQ(fmt(u"%.1f", {12.25}), QStringLiteral("12,3"));
    EXPECT_EQ(fmt(u"%.1f", {-12.25}), QStringLiteral("-12,3"));
    EXPECT_EQ(fmt(u"%.2f", {1.005}), QStringLiteral("1,01"));
    EXPECT_EQ(fmt(u"%.1f", {9.96}), QStringLiteral("10,0"));
    EXPECT_EQ(fmt(u"%.1f", {999.95}), QStringLiteral("1000,0"));
    EXPECT_EQ(fmt(u"%.0f", {0.5}), QStringLiteral("1"));
    // A negative value that rounds to zero loses its sign.
    EXPECT_EQ(fmt(u"%.1f", {-0.04}), QStringLiteral("0,0"));
    EXPECT_EQ(fmt(u"%.1f", {1e20}), QStringLiteral("100000000000000000000,0"));
    EXPECT_EQ(fmt(u"%f", {std::numeric_limits<double>::quiet_NaN()}), QStringLiteral("NAN"));
    EXPECT_EQ(fmt(u"%f", {-std::numeric_limits<double>::infinity()}), QStringLiteral("-INF"));
    EXPECT_EQ(fmt(u"%.2f", {std::numeric_limits<double>::max()}).size(), 312);
}

TEST(NumberFormat, IntegersTextsAndPercentSigns) {
    EXPECT_EQ(fmt(kProgressCaptionFormat, {37}), QStringLiteral("Progress...[37%]"));
    EXPECT_EQ(fmt(u"%5d|%-5d|%.3d", {-42, 7, 5}), QStringLiteral("  -42|7    |005"));
    EXPECT_EQ(fmt(u"[%s] [%.2s] [%4s]", {"abc", "abc", "ab"}), QStringLiteral("[abc] [ab] [  ab]"));
}

TEST(NumberFormat, MismatchedFormatsThrow) {
    EXPECT_THROW(fmt(u"%d", {1.5}), FormatError);
    EXPECT_THROW(fmt(u"%f", {1}), FormatError);
    EXPECT_THROW(fmt(u"%s", {1}), FormatError);
    EXPECT_THROW(fmt(u"%d %d", {1}), FormatError);
    EXPECT_THROW(fmt(u"%q", {1}), FormatError);
    EXPECT_THROW(fmt(u"100%", {}), FormatError);
    EXPECT_THROW(fmt(u"%5", {1}), FormatError);
}

TEST(NumberFormat, ChartPictureShowsAtMostThreeDecimals) {
    const QStringView chart = kChartNumberPicture;
    EXPECT_EQ(formatFloat(chart, 12.0, kComma), QStringLiteral("12"));
    EXPECT_EQ(formatFloat(chart, 12.5, kComma), QStringLiteral("12,5"));
    EXPECT_EQ(formatFloat(chart, 0.0, kComma), QStringLiteral("0"));
    EXPECT_EQ(formatFloat(chart, 0.0004, kComma), QStringLiteral("0"));
    EXPECT_EQ(formatFloat(chart, -0.0004, kComma), QStringLiteral("0"));
    EXPECT_EQ(formatFloat(chart, 0.25, kComma), QStringLiteral("0,25"));
    EXPECT_EQ(formatFloat(chart, 1234.5678, kComma), QStringLiteral("1.234,568"));
    EXPECT_EQ(formatFloat(chart, -2500.0, kComma), QStringLiteral("-2.500"));
    EXPECT_EQ(formatFloat(chart, 999999.9999, kComma), QStringLiteral("1.000.000"));
    EXPECT_EQ(formatFloat(chart, 1234.5, kFullStop), QStringLiteral("1,234.5"));
    EXPECT_EQ(formatFloat(u"0.00", 3.0, kComma), QStringLiteral("3,00"));
    EXPECT_EQ(formatFloat(u"#.##", 0.5, kComma), QStringLiteral(",5"));
}
