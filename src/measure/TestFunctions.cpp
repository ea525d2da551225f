#include "measure/TestFunctions.h"

#include <array>

namespace kr90x {
namespace {

using C = CurveChannel;
using K = ReplyKind;
using R = ReportKind;

constexpr double kRailBand = 1050.0; // bar: the reference band under a rail-pressure curve

constexpr std::array<TestFunction, 9> kFunctions = {{
    {0,
     "Petrol Compression",
     K::CompressionPetrol,
     C::None,
     0,
     nullptr,
     1,
     {},
     false,
     R::Compression,
     nullptr},
    {1,
     "Diesel Compression",
     K::CompressionDiesel,
     C::None,
     0,
     nullptr,
     1,
     {},
     false,
     R::Compression,
     nullptr},
    // High pressure gets a title of its own, rather than whichever the last oil, low
    // pressure or manometer report left behind.
    {2, "High pressure common rail", K::HighPressureCount, C::HighPressure, 2000,
     "Common rail high pressure (Bar)", 1, kRailBand, false, R::Pressure,
     "COMMON RAIL HIGH PRESSURE TEST"},
    {3,
     "Turbo pressure",
     K::TurboCount,
     C::Turbo,
     3000,
     "Turbo pressure (mBar)",
     1,
     {},
     true,
     R::None,
     nullptr},
    {4, "FSI", K::FsiCount, C::Fsi, 200, "FSI Pressure (Bar)", 10, {}, true, R::None, nullptr},
    {5, "TDI", K::TdiCount, C::Tdi, 10, "TDI Pressure (Bar)", 10, {}, true, R::None, nullptr},
    {6,
     "Oil pressure",
     K::HighPressureCount,
     C::HighPressure,
     80,
     "Oil Pressure (Bar)",
     10,
     {},
     true,
     R::Pressure,
     "OIL PRESSURE TEST"},
    {7,
     "Low pressure common rail",
     K::HighPressureCount,
     C::HighPressure,
     80,
     "Common rail low pressure (Bar)",
     10,
     {},
     true,
     R::Pressure,
     "COMMON RAIL LOW PRESSURE TEST"},
    {8,
     "80 Bar manometer",
     K::HighPressureCount,
     C::HighPressure,
     80,
     "Manometer 80 Bar",
     10,
     {},
     true,
     R::Pressure,
     "80 BAR MANOMETER"},
}};

constexpr bool rowsAreConsistent() {
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        const TestFunction& f = kFunctions[i];
        if (f.index != static_cast<int>(i) || f.divisor <= 0) {
            return false;
        }
        // A curve function starts with its channel's count; a compression has no channel.
        if (f.channel != C::None && curveCodes(f.channel).count != f.command) {
            return false;
        }
        if ((f.report == R::Pressure) != (f.reportTitle != nullptr)) {
            return false;
        }
    }
    return true;
}
static_assert(rowsAreConsistent(), "rows by index, a curve read starts with its channel's count");

} // namespace

std::span<const TestFunction> testFunctions() {
    return kFunctions;
}

const TestFunction* testFunction(int index) {
    if (index < 0 || index >= static_cast<int>(kFunctions.size())) {
        return nullptr;
    }
    return &kFunctions[static_cast<std::size_t>(index)];
}

} // namespace kr90x
