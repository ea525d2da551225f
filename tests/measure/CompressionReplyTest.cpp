// A compression reply taken whole or not at all, and its log lines as the tester sent it.
#include "measure/CompressionReply.h"

#include <gtest/gtest.h>

using namespace kr90x;

namespace {

const QString kPetrol = QStringLiteral("KR90X_COMG|0125|0130|0098|0110|0120|0000");

} // namespace

TEST(CompressionReply, SixFieldsOfTenthsOfABarAreOneResult) {
    const auto r = parseCompression(kPetrol, Fuel::Petrol);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->fuel, Fuel::Petrol);
    EXPECT_EQ(r->bar, (CylinderValues{12.5, 13.0, 9.8, 11.0, 12.0, 0.0}));
    // Spaces before the digits, a sign and NULs after them read as the tester means them.
    const auto d = parseCompression(QStringLiteral("KR90X_COMD| 980|+300|  -1|0310|0280|29") +
                                        QChar(0) + QChar(0),
                                    Fuel::Diesel);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->bar, (CylinderValues{98.0, 30.0, -0.1, 31.0, 28.0, 2.9}));
}

TEST(CompressionReply, AFieldThatIsNoNumberAnywhereRefusesTheWholeReply) {
    for (std::size_t cylinder = 1; cylinder <= kCylinders; ++cylinder) {
        const int position = compressionFieldPosition(static_cast<int>(cylinder));
        for (const char* bad : {"12a0", "    ", "12 0", "+   "}) {
            QString reply = kPetrol;
            reply.replace(position - 1, kCompressionFieldWidth, QLatin1String(bad));
            const auto r = parseCompression(reply, Fuel::Petrol);
            ASSERT_FALSE(r) << cylinder << " " << bad;
            EXPECT_EQ(r.error().position, position);
            EXPECT_EQ(r.error().width, kCompressionFieldWidth);
        }
    }
    // Cut before the last field: a field the reply ends in reads as far as it goes.
    for (qsizetype length = 0; length < compressionFieldPosition(kCylinders); ++length) {
        EXPECT_FALSE(parseCompression(kPetrol.left(length), Fuel::Petrol)) << length;
    }
}

TEST(CompressionReply, TheLogShowsEachFieldAsSentWhetherOrNotItIsANumber) {
    const QStringList petrol = compressionLogLines(kPetrol, Fuel::Petrol);
    ASSERT_EQ(petrol.size(), 10); // header of three, six cylinders, a closing line
    EXPECT_EQ(petrol[1], QStringLiteral("Petrol compression"));
    EXPECT_EQ(petrol[3], QStringLiteral("Cylinder n\u00BA 1..: 012,5 Bar"));
    EXPECT_EQ(petrol[9], QStringLiteral(" "));

    const QStringList diesel =
        compressionLogLines(QStringLiteral("KR90X_COMD| 980|12a0"), Fuel::Diesel);
    ASSERT_EQ(diesel.size(), 9);
    EXPECT_EQ(diesel[3], QStringLiteral("Cylinder n\u00BA 1..:  98,0 Bar"));
    EXPECT_EQ(diesel[4], QStringLiteral("Cylinder n\u00BA 2..: 12a,0 Bar"));
    EXPECT_EQ(diesel[5], QStringLiteral("Cylinder n\u00BA 3..: , Bar")); // nothing sent
}
