#pragma once

#include "protocol/TesterCodes.h"

#include <optional>
#include <span>

namespace kr90x {

enum class ReportKind { None, Compression, Pressure };

// One of the nine test functions the user picks from. The index is the place in the
// "Select function" list.
struct TestFunction {
    int index;
    const char* itemText;
    ReplyKind command; // the code that starts a read; its reply answers it
    CurveChannel channel;
    double axisMaximum;     // left axis of the curve chart, from 0; unused without channel
    const char* chartTitle; // curve chart title; nullptr: left as it is
    // A raw sample divided by this is the value plotted (and kept, for FSI and TDI).
    double divisor;
    // The grey band drawn under the curve at this value; none for most functions.
    std::optional<double> band;
    bool needsNewFirmware; // needs tester firmware kFirmwareGateVersion or later
    ReportKind report;
    const char* reportTitle; // the pressure report's title parameter; nullptr: none

    bool hasReport() const { return report != ReportKind::None; }
};

inline constexpr int kFirmwareGateVersion = 12;

std::span<const TestFunction> testFunctions();
// The row of an index; nullptr for an index outside the table.
const TestFunction* testFunction(int index);

} // namespace kr90x
