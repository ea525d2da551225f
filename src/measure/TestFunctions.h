#pragma once

#include <optional>
#include <span>

namespace kr90x {

// The four curve channels of the tester; compression functions have none.
enum class CurveChannel { None, HighPressure, Turbo, Fsi, Tdi };

enum class ReportKind { None, Compression, Pressure };

// One of the nine test functions the user picks from. The index is the place in the
// "Select function" list.
struct TestFunction {
    int index;
    const char* itemText;
    const char* command;
    CurveChannel channel;
    double axisMaximum;     // left axis of the curve chart, from 0; unused without channel
    const char* chartTitle; // curve chart title; nullptr: left as it is
    bool needsNewFirmware;  // needs tester firmware kFirmwareGateVersion or later
    ReportKind report;
    const char* reportTitle; // the pressure report's title parameter; nullptr: none
};

inline constexpr int kFirmwareGateVersion = 12;

std::span<const TestFunction> testFunctions();
// The row of an index; nullptr for an index outside the table.
const TestFunction* testFunction(int index);

} // namespace kr90x
