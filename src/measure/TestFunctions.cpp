#include "measure/TestFunctions.h"

#include <array>

namespace kr90x {
namespace {

using C = CurveChannel;
using K = ReplyKind;
using R = ReportKind;

constexpr double kRailBand = 1050.0; // bar: the reference band under a rail-pressure curve

constexpr std::array<TestFunction, 9> kFunctions = {{
    {.index = 0,
     .name = "petrol",
     .itemText = "Petrol Compression",
     .command = K::CompressionPetrol,
     .fuel = Fuel::Petrol,
     .divisor = 10,
     .decimals = 1,
     .report = R::Compression},
    {.index = 1,
     .name = "diesel",
     .itemText = "Diesel Compression",
     .command = K::CompressionDiesel,
     .fuel = Fuel::Diesel,
     .divisor = 10,
     .decimals = 1,
     .report = R::Compression},
    // High pressure gets a title of its own, rather than whichever the last oil, low
    // pressure or manometer report left behind.
    {.index = 2,
     .name = "rail",
     .itemText = "High pressure common rail",
     .command = K::HighPressureCount,
     .channel = C::HighPressure,
     .axisMaximum = 2000,
     .chartTitle = "Common rail high pressure (Bar)",
     .band = kRailBand,
     .report = R::Pressure,
     .reportTitle = "COMMON RAIL HIGH PRESSURE TEST"},
    {.index = 3,
     .name = "turbo",
     .itemText = "Turbo pressure",
     .command = K::TurboCount,
     .channel = C::Turbo,
     .axisMaximum = 3000,
     .chartTitle = "Turbo pressure (mBar)",
     .unit = "mbar",
     .needsNewFirmware = true},
    {.index = 4,
     .name = "fsi",
     .itemText = "FSI",
     .command = K::FsiCount,
     .channel = C::Fsi,
     .axisMaximum = 200,
     .chartTitle = "FSI Pressure (Bar)",
     .divisor = 10,
     .decimals = 1,
     .needsNewFirmware = true},
    {.index = 5,
     .name = "tdi",
     .itemText = "TDI",
     .command = K::TdiCount,
     .channel = C::Tdi,
     .axisMaximum = 10,
     .chartTitle = "TDI Pressure (Bar)",
     .divisor = 10,
     .decimals = 1,
     .needsNewFirmware = true},
    {.index = 6,
     .name = "oil",
     .itemText = "Oil pressure",
     .command = K::HighPressureCount,
     .channel = C::HighPressure,
     .axisMaximum = 80,
     .chartTitle = "Oil Pressure (Bar)",
     .divisor = 10,
     .decimals = 1,
     .needsNewFirmware = true,
     .report = R::Pressure,
     .reportTitle = "OIL PRESSURE TEST"},
    {.index = 7,
     .name = "low",
     .itemText = "Low pressure common rail",
     .command = K::HighPressureCount,
     .channel = C::HighPressure,
     .axisMaximum = 80,
     .chartTitle = "Common rail low pressure (Bar)",
     .divisor = 10,
     .decimals = 1,
     .needsNewFirmware = true,
     .report = R::Pressure,
     .reportTitle = "COMMON RAIL LOW PRESSURE TEST"},
    {.index = 8,
     .name = "manometer",
     .itemText = "80 Bar manometer",
     .command = K::HighPressureCount,
     .channel = C::HighPressure,
     .axisMaximum = 80,
     .chartTitle = "Manometer 80 Bar",
     .divisor = 10,
     .decimals = 1,
     .needsNewFirmware = true,
     .report = R::Pressure,
     .reportTitle = "80 BAR MANOMETER"},
}};

constexpr bool rowsAreConsistent() {
    int petrol = 0;
    int diesel = 0;
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        const TestFunction& f = kFunctions[i];
        if (f.index != static_cast<int>(i) || f.divisor <= 0 || f.itemText == nullptr ||
            f.name == nullptr) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (std::string_view(kFunctions[j].name) == f.name) {
                return false;
            }
        }
        // A curve function starts with its channel's count and has a chart of its own; a
        // compression has a fuel instead, and its compression report.
        if (f.isCurve() != !f.fuel.has_value() || f.isCurve() != (f.chartTitle != nullptr)) {
            return false;
        }
        if (f.isCurve() && curveCodes(f.channel).count != f.command) {
            return false;
        }
        if (!f.isCurve() && f.report != R::Compression) {
            return false;
        }
        if ((f.report == R::Pressure) != (f.reportTitle != nullptr)) {
            return false;
        }
        // A value divided by ten carries one decimal, a whole one none.
        if ((f.divisor == 10) != (f.decimals == 1) || (f.divisor != 1 && f.divisor != 10)) {
            return false;
        }
        petrol += f.fuel == Fuel::Petrol;
        diesel += f.fuel == Fuel::Diesel;
    }
    return petrol == 1 && diesel == 1;
}
static_assert(
    rowsAreConsistent(),
    "rows by index, names unique; a curve read starts with its channel's count; one compression a "
    "fuel; decimals follow the divisor");

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

const TestFunction* testFunctionNamed(std::string_view name) {
    for (const TestFunction& f : kFunctions) {
        if (name == f.name) {
            return &f;
        }
    }
    return nullptr;
}

const TestFunction& compressionFunction(Fuel fuel) {
    for (const TestFunction& f : kFunctions) {
        if (f.fuel == fuel) {
            return f;
        }
    }
    return kFunctions[0]; // not reached: the table holds one row a fuel
}

int curveFunction(CurveChannel channel, int readFunction, int selectedFunction) {
    if (channel == CurveChannel::None) {
        return -1;
    }
    for (int candidate : {readFunction, selectedFunction}) {
        if (const TestFunction* f = testFunction(candidate); f && f->channel == channel) {
            return candidate;
        }
    }
    for (const TestFunction& f : kFunctions) {
        if (f.channel == channel) {
            return f.index;
        }
    }
    return -1;
}

} // namespace kr90x
