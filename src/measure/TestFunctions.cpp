#include "measure/TestFunctions.h"

#include <array>

namespace kr90x {
namespace {

using C = CurveChannel;
using R = ReportKind;

constexpr std::array<TestFunction, 9> kFunctions = {{
    {0, "Petrol Compression", "KR90X_COMG", C::None, 0, nullptr, false, R::Compression, nullptr},
    {1, "Diesel Compression", "KR90X_COMD", C::None, 0, nullptr, false, R::Compression, nullptr},
    // High pressure gets a title of its own, rather than whichever the last oil, low
    // pressure or manometer report left behind.
    {2, "High pressure common rail", "KR90X_GAMX", C::HighPressure, 2000,
     "Common rail high pressure (Bar)", false, R::Pressure, "COMMON RAIL HIGH PRESSURE TEST"},
    {3, "Turbo pressure", "KR90X_GTMX", C::Turbo, 3000, "Turbo pressure (mBar)", true, R::None,
     nullptr},
    {4, "FSI", "KR90X_GFMX", C::Fsi, 200, "FSI Pressure (Bar)", true, R::None, nullptr},
    {5, "TDI", "KR90X_GDMX", C::Tdi, 10, "TDI Pressure (Bar)", true, R::None, nullptr},
    {6, "Oil pressure", "KR90X_GAMX", C::HighPressure, 80, "Oil Pressure (Bar)", true, R::Pressure,
     "OIL PRESSURE TEST"},
    {7, "Low pressure common rail", "KR90X_GAMX", C::HighPressure, 80,
     "Common rail low pressure (Bar)", true, R::Pressure, "COMMON RAIL LOW PRESSURE TEST"},
    {8, "80 Bar manometer", "KR90X_GAMX", C::HighPressure, 80, "Manometer 80 Bar", true,
     R::Pressure, "80 BAR MANOMETER"},
}};

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
