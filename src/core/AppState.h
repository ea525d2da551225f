#pragma once

#include "core/Cylinders.h"
#include "core/NumberFormat.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace kr90x {

class THidDevice;

// The state the handlers share. One instance lives for the whole run, owned by the
// program's entry point and handed to whoever needs it; each result replaces the
// previous one of its kind.
struct AppState {
    // The checked-out tester; not owned (the HID controller owns its devices).
    THidDevice* TesterDevice = nullptr;

    // One output report: byte 0 is the report ID (always 0), the command text follows.
    // Never cleared between commands; grown to the tester's output report length.
    std::vector<std::uint8_t> OutputReport = std::vector<std::uint8_t>(65, 0);
    int OutputReportLength = 0;
    QString CurrentCommand;

    // 9999 until the tester reports its version (every function allowed).
    std::int32_t DeviceFirmwareVersion = 9999;
    std::int32_t ServerFirmwareVersion = 0;
    std::int32_t ServerProgramVersion = 0;
    bool FirmwareCheckStarted = false;

    // The last whole result of each kind: a reply that is refused leaves them as they are.
    CylinderValues PetrolValues{};
    CylinderValues DieselValues{};

    // The last complete curve of each channel. The download that runs keeps its own
    // samples and sample numbers until it is complete.
    std::vector<std::int32_t> HighPressureSamples;
    std::vector<std::int32_t> TurboSamples;
    std::vector<long double> FsiSamples;
    std::vector<long double> TdiSamples;

    std::array<std::uint8_t, 65536> EepromImage{};

    // The test function whose result was completed last (-1: none yet). The report
    // follows the result on screen, not the selection of the moment.
    int CompletedFunction = -1;
    // The test function selected when the last read started (-1: none yet). A curve is
    // scaled for it whatever the selection becomes during the download.
    int ReadFunction = -1;

    // Separators for every real number the program formats.
    FormatSettings Format;
};

} // namespace kr90x
