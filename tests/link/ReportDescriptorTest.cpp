#include "link/ReportDescriptor.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <vector>

using namespace kr90x;

namespace {
std::vector<std::uint8_t> hex(const char* text) {
    const QByteArray bytes = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return {bytes.begin(), bytes.end()};
}
std::optional<ReportLayout> parse(const std::vector<std::uint8_t>& d) {
    return parseReportDescriptor(d);
}
} // namespace

TEST(ReportDescriptor, VendorDefined64BytesEachWayWithoutIds) {
    const auto layout = parse(hex("06 00 FF 09 01 A1 01 19 01 29 40 15 00 26 FF 00 75 08 95 40 "
                                  "81 00 19 01 29 40 91 00 C0"));
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->usesReportIds);
    EXPECT_EQ(layout->caps.InputReportByteLength, 65);
    EXPECT_EQ(layout->caps.OutputReportByteLength, 65);
    EXPECT_EQ(layout->caps.FeatureReportByteLength, 0);
}

TEST(ReportDescriptor, KeyboardAndConsumerControlWithReportIds) {
    const auto layout = parse(hex(
        "05 01 09 06 A1 01 85 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 "
        "01 95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01 95 06 75 08 15 00 25 65 05 07 "
        "19 00 29 65 81 00 C0 05 0C 09 01 A1 01 85 02 15 00 26 FF 03 19 00 2A FF 03 75 10 95 01 "
        "81 00 C0"));
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->usesReportIds);
    EXPECT_EQ(layout->caps.InputReportByteLength, 9);
    EXPECT_EQ(layout->caps.OutputReportByteLength, 2);
}

TEST(ReportDescriptor, PushPopAndLongItems) {
    // Push a size of 8, change it to 16 for one input, pop back to 8 for the output; a
    // long item in between is skipped whole.
    const auto layout = parse(hex("75 08 95 04 A4 75 10 81 00 B4 FE 02 10 AA BB 91 00"));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->caps.InputReportByteLength, 9);
    EXPECT_EQ(layout->caps.OutputReportByteLength, 5);
    // Four-byte item data (size code 3) is read whole.
    const auto wide = parse(hex("77 08 00 00 00 97 03 00 00 00 81 00"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->caps.InputReportByteLength, 4);
    const auto empty = parse({});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->caps.InputReportByteLength, 0);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    EXPECT_FALSE(parse(hex("75")));          // item data cut off
    EXPECT_FALSE(parse(hex("26 FF")));       // two-byte data cut off
    EXPECT_FALSE(parse(hex("B4")));          // Pop without Push
    EXPECT_FALSE(parse(hex("C0")));          // End Collection without Collection
    EXPECT_FALSE(parse(hex("85 00")));       // report ID 0
    EXPECT_FALSE(parse(hex("FE 05 10 01"))); // long item cut off
    EXPECT_FALSE(parse(hex("FE")));
    // Size times count far beyond any report length.
    EXPECT_FALSE(parse(hex("77 FF FF FF FF 97 FF FF FF FF 81 00")));
}
