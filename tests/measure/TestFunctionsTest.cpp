// The facts of the test-function table that callers used to work out for themselves.
#include "measure/TestFunctions.h"

#include <gtest/gtest.h>

using namespace kr90x;

TEST(TestFunctions, UnitsDecimalsAndFuelsAreThoseTheUserSees) {
    std::vector<std::string> units;
    std::vector<int> decimals;
    for (const TestFunction& f : testFunctions()) {
        units.push_back(f.unit);
        decimals.push_back(f.decimals);
    }
    // Compression in tenths of a bar; high pressure and turbo whole; the rest in tenths.
    EXPECT_EQ(units, (std::vector<std::string>{"bar", "bar", "bar", "mbar", "bar", "bar", "bar",
                                               "bar", "bar"}));
    EXPECT_EQ(decimals, (std::vector<int>{1, 1, 0, 0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(compressionFunction(Fuel::Petrol).index, 0);
    EXPECT_EQ(compressionFunction(Fuel::Diesel).index, 1);
    EXPECT_FALSE(testFunction(2)->fuel);
}

TEST(TestFunctions, ACurveIsReadForItsReadsFunctionThenTheSelectionThenItsChannelsFirst) {
    using C = CurveChannel;
    EXPECT_EQ(curveFunction(C::HighPressure, 6, 2), 6);  // oil started, rail selected since
    EXPECT_EQ(curveFunction(C::HighPressure, 3, 8), 8);  // a turbo read got a rail count
    EXPECT_EQ(curveFunction(C::HighPressure, -1, 0), 2); // nobody asked: the channel's first
    EXPECT_EQ(curveFunction(C::Fsi, 99, -5), 4);
    EXPECT_EQ(curveFunction(C::None, 0, 0), -1);
}

TEST(TestFunctions, EachHasTheOneWordNameACommandLineTakes) {
    std::vector<std::string> names;
    for (const TestFunction& f : testFunctions()) {
        names.push_back(f.name);
        EXPECT_EQ(testFunctionNamed(f.name), &f);
    }
    // In the order of the list: the number and the name of a function go together.
    EXPECT_EQ(names, (std::vector<std::string>{"petrol", "diesel", "rail", "turbo", "fsi", "tdi",
                                               "oil", "low", "manometer"}));
    // Names as they are, nothing near them.
    EXPECT_EQ(testFunctionNamed("Petrol"), nullptr);
    EXPECT_EQ(testFunctionNamed("rai"), nullptr);
    EXPECT_EQ(testFunctionNamed(""), nullptr);
}
