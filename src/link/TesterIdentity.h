#pragma once

namespace kr90x {

// The KR90X's USB identity; the IDs alone make a device the tester.
inline constexpr int kTesterVendorId = 1240;   // 0x04D8
inline constexpr int kTesterProductId = 62356; // 0xF394
// Without report IDs, 64 data bytes each way: 65 bytes with the report-ID byte.
inline constexpr int kTesterReportLength = 65;

} // namespace kr90x
