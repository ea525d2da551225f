#include "protocol/Reply.h"
#include "protocol/Commands.h"

#include <gtest/gtest.h>

using namespace kr90x;

namespace {
QString field(const char16_t* text, qsizetype size) {
    return QStringView(text, size).toString();
}
std::int32_t read(const QString& text) {
    return ReplyField(text, 1, static_cast<int>(text.size()));
}
} // namespace

TEST(ReplyField, ReadsTheNumberFormsTheTesterSends) {
    EXPECT_EQ(read(QStringLiteral("  237")), 237);
    EXPECT_EQ(read(QStringLiteral("00237")), 237);
    EXPECT_EQ(read(field(u"237\0\0", 5)), 237);
    EXPECT_EQ(read(QStringLiteral("    0")), 0);
    EXPECT_EQ(read(QStringLiteral(" -12")), -12);
    EXPECT_EQ(read(QStringLiteral("+7")), 7);
    EXPECT_EQ(read(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(read(QStringLiteral("-2147483648")), -2147483647 - 1);
    // Position and width pick the characters; a reply that ends early gives fewer.
    EXPECT_EQ(ReplyField(QStringLiteral("KR90X_VERS|012"), 12, 3), 12);
    EXPECT_EQ(ReplyField(QStringLiteral("KR90X_GAMX|  42"), 12, 5), 42);
}

TEST(ReplyField, AnythingElseIsAConversionError) {
    for (const QString& bad :
         {QStringLiteral("237  "), QStringLiteral("     "), QString(), QStringLiteral("12a"),
          QStringLiteral("12|"), QStringLiteral("- 5"), QStringLiteral("+-5"),
          QStringLiteral("2147483648"), QStringLiteral("-2147483649"),
          QStringLiteral("99999999999999999999"),
          field(u"\0"
                "12",
                3),
          field(u"  \0", 3)}) {
        EXPECT_THROW(read(bad), ConversionError) << bad.toStdString();
    }
    // A field beyond the reply's end holds no digit.
    EXPECT_THROW(ReplyField(QStringLiteral("KR90X_VERS"), 12, 3), ConversionError);
    EXPECT_THROW(ReplyField(QStringLiteral("KR90X_VERS"), 0, 3), ConversionError);
    EXPECT_THROW(ReplyField(QStringLiteral("KR90X_VERS"), -5, 3), ConversionError);
}

TEST(Reply, TextHasOneCharacterPerDataByte) {
    const std::uint8_t data[] = {'K', 'R', 0, 0xE9, 0xFF, 0};
    const QString text = replyText(data, sizeof data);
    ASSERT_EQ(text.size(), 6);
    EXPECT_EQ(text.at(2), QChar(0));
    EXPECT_EQ(text.at(3), QChar(0xE9));
    EXPECT_EQ(text.at(4), QChar(0xFF));
    EXPECT_EQ(ReplyPrefix(QStringLiteral("KR90X_COMGxyz")), QStringLiteral("KR90X_COMG"));
    EXPECT_EQ(ReplyPrefix(QStringLiteral("KR90")), QStringLiteral("KR90"));
}

TEST(Commands, NumberFieldIsFiveCharactersRightAligned) {
    EXPECT_EQ(numberedCommand(ReplyKind::HighPressureSample, 1),
              QStringLiteral("KR90X_GAVA|    1|"));
    EXPECT_EQ(numberedCommand(ReplyKind::Eeprom, 65535), QStringLiteral("KR90X_EEPR|65535|"));
}
