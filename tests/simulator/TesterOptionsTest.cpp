#include "measure/CurveDownload.h"
#include "measure/TestFunctions.h"
#include "simulator/StoredCurves.h"
#include "simulator/TesterOptions.h"

#include <gtest/gtest.h>

using namespace kr90x;

TEST(TesterOptions, EveryOptionIsReadAndNothingIsTheDefaults) {
    const ParsedTesterOptions none = parseTesterOptions(u"");
    ASSERT_TRUE(none.options);
    EXPECT_EQ(none.options->stored, StoredTest::Rail);
    EXPECT_EQ(none.options->firmware, 12);
    EXPECT_EQ(none.options->pace.count(), 1); // as a full-speed USB device
    EXPECT_FALSE(none.options->samples);

    const ParsedTesterOptions all = parseTesterOptions(
        u"stored=manometer, firmware=11,samples=4,weak-cylinder=3,silent,delay=250,pace=0,"
        u"unplug-after=40,garbage,short,wrong-prefix,no-access");
    ASSERT_TRUE(all.options) << all.error.toStdString();
    const TesterOptions& o = *all.options;
    EXPECT_EQ(o.stored, StoredTest::Manometer);
    EXPECT_EQ(o.firmware, 11);
    EXPECT_EQ(o.samples, 4);
    EXPECT_EQ(o.weakCylinder, 3);
    EXPECT_EQ(o.delay.count(), 250);
    EXPECT_EQ(o.pace.count(), 0);
    EXPECT_EQ(o.unplugAfter, 40);
    EXPECT_TRUE(o.silent && o.garbage && o.shortReports && o.wrongPrefix && o.noAccess);
    for (const char* name : {"rail", "oil", "low", "manometer"}) {
        const auto p = parseTesterOptions(QStringLiteral("stored=%1").arg(QLatin1String(name)));
        ASSERT_TRUE(p.options) << name;
        EXPECT_EQ(storedTestName(p.options->stored), QLatin1String(name));
    }
}

TEST(TesterOptions, BadOptionsAreRefusedWithAReason) {
    for (const char* bad :
         {"stored=diesel", "stored", "firmware=1000", "firmware=-1", "firmware=12a", "firmware",
          "samples=100000", "samples=", "weak-cylinder=0", "weak-cylinder=7", "delay=60001",
          "pace=x", "unplug-after=0", "silent=1", "garbage=yes", "loud", "stored=oil,,",
          "firmware=99999999999999999999", ",", "=oil"}) {
        const ParsedTesterOptions p = parseTesterOptions(QString::fromLatin1(bad));
        EXPECT_FALSE(p.options) << bad;
        EXPECT_FALSE(p.error.isEmpty()) << bad;
        EXPECT_FALSE(p.error.contains(QLatin1Char('\n'))) << bad;
    }
    EXPECT_TRUE(testerOptionsHelp().contains(QStringLiteral("unplug-after=N")));

    // What the message quotes of a bad option stays one short line.
    const ParsedTesterOptions odd =
        parseTesterOptions(QStringLiteral("loud\n\x01") + QString(200, QLatin1Char('x')));
    EXPECT_FALSE(odd.error.contains(QLatin1Char('\n')));
    EXPECT_LT(odd.error.size(), 100);
}

// The tester holds, for each function, a curve that stays inside that function's axis
// once the program has scaled it, however many samples are read.
TEST(StoredCurves, EachFunctionsCurveLiesWithinItsAxisAfterScaling) {
    const auto storedFor = [](int function) {
        switch (function) {
        case 6:
            return StoredTest::Oil;
        case 7:
            return StoredTest::LowPressure;
        case 8:
            return StoredTest::Manometer;
        default:
            return StoredTest::Rail;
        }
    };
    for (const TestFunction& f : testFunctions()) {
        if (!f.isCurve()) {
            continue;
        }
        double lowest = f.axisMaximum;
        double highest = 0;
        for (int k = 1; k <= 20000; ++k) {
            const int raw = storedSample(storedFor(f.index), f.channel, k);
            EXPECT_GE(raw, -999) << f.itemText; // what a four-character field holds
            EXPECT_LE(raw, 9999) << f.itemText;
            const double shown = shownValue(f, raw);
            lowest = std::min(lowest, shown);
            highest = std::max(highest, shown);
        }
        EXPECT_GE(lowest, 0.0) << f.itemText;
        EXPECT_LE(highest, f.axisMaximum) << f.itemText;
        // A curve, not a line along the floor: above a twentieth of its axis, and moving.
        EXPECT_GT(highest, f.axisMaximum / 20) << f.itemText;
        EXPECT_GT(highest - lowest, 0.0) << f.itemText;
    }
    // The rail curve is the pump building up to about 1,350 bar.
    EXPECT_NEAR(storedSample(StoredTest::Rail, CurveChannel::HighPressure, 999), 1350, 40);
}
