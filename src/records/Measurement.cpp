#include "records/Measurement.h"

#include <algorithm>
#include <cmath>

namespace kr90x::records {

bool VehicleDetails::isEmpty() const {
    return *this == VehicleDetails{};
}

CompressionSpread compressionSpread(const CylinderValues& cylinders) {
    CompressionSpread s;
    const auto [low, high] = std::minmax_element(cylinders.begin(), cylinders.end());
    s.lowest = *low;
    s.highest = *high;
    if (!(s.highest > 0)) {
        return s;
    }
    s.spreadPercent = (s.highest - s.lowest) / s.highest * 100.0;
    for (std::size_t i = 0; i < cylinders.size(); ++i) {
        // Compared in the tenths of a bar the tester sends, so that a cylinder exactly
        // 10 % below is not called low by a rounding error.
        const double shortfall = std::round((s.highest - cylinders[i]) * 10.0);
        if (shortfall * 10.0 > std::round(s.highest * 10.0)) {
            s.lowCylinders.push_back(static_cast<int>(i) + 1);
        }
    }
    return s;
}

CurveFigures curveFigures(const std::vector<double>& samples) {
    if (samples.empty()) {
        return {};
    }
    return {*std::max_element(samples.begin(), samples.end()), samples.back()};
}

} // namespace kr90x::records
