// Arbitrary bytes as a device's report descriptor: the parser must never read outside
// them, loop, or blow up, and lengths it gives must be sane.
#include "link/ReportDescriptor.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto layout = kr90x::parseReportDescriptor(std::span(data, size));
    if (layout && layout->caps.InputReportByteLength == 1) {
        std::abort(); // a report of zero data bytes is never a report
    }
    return 0;
}
