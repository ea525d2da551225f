#pragma once

#include "protocol/TesterCodes.h"

#include <optional>
#include <span>
#include <string_view>

namespace kr90x {

enum class ReportKind { None, Compression, Pressure };
enum class Fuel { Petrol, Diesel };

// One of the nine test functions the user picks from. The index is the place in the
// "Select function" list. Everything a caller needs to know of a function is here, so
// that nobody infers it from the index.
struct TestFunction {
    int index;
    const char* name; // one word, for command lines and files: "petrol", "rail", ...
    const char* itemText;
    ReplyKind command;                         // the code that starts a read; its reply answers it
    CurveChannel channel = CurveChannel::None; // None: a compression, one value per cylinder
    std::optional<Fuel> fuel = {};             // a compression's fuel
    double axisMaximum = 0;                    // left axis of the curve chart, from 0
    const char* chartTitle = nullptr;          // curve chart title; nullptr: left as it is
    // A raw value divided by this is the value shown (and kept, for FSI and TDI).
    double divisor = 1;
    const char* unit = "bar"; // of the values shown
    int decimals = 0;         // the values shown carry this many decimals
    // The grey band drawn under the curve at this value; none for most functions.
    std::optional<double> band = {};
    bool needsNewFirmware = false; // needs tester firmware kFirmwareGateVersion or later
    ReportKind report = ReportKind::None;
    const char* reportTitle = nullptr; // the pressure report's title parameter; nullptr: none

    constexpr bool hasReport() const { return report != ReportKind::None; }
    constexpr bool isCurve() const { return channel != CurveChannel::None; }
};

inline constexpr int kFirmwareGateVersion = 12;

std::span<const TestFunction> testFunctions();
// The row of an index; nullptr for an index outside the table.
const TestFunction* testFunction(int index);
// The row of a name ("petrol", "rail", ...); nullptr for a name no row has.
const TestFunction* testFunctionNamed(std::string_view name);
// The compression function of a fuel (never nullptr).
const TestFunction& compressionFunction(Fuel fuel);

// The function a curve of `channel` is read for: the one the read was started for, failing
// that (a reply nobody asked for) the selection, or the channel's first function. -1 for
// CurveChannel::None.
int curveFunction(CurveChannel channel, int readFunction, int selectedFunction);

} // namespace kr90x
