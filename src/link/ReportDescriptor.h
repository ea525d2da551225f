#pragma once

#include "link/HidPlatform.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kr90x {

struct ReportLayout {
    THidCaps caps;
    bool usesReportIds = false;
};

// Report lengths from a HID report descriptor: for each type the longest report, plus
// one byte for the report ID (also when IDs are not used), 0 when there is none.
// Nothing when the descriptor is malformed (truncated item, Pop without Push, End
// Collection without Collection, report ID 0).
std::optional<ReportLayout> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace kr90x
