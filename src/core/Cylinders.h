#pragma once

#include <array>
#include <cstddef>

namespace kr90x {

// The tester measures compression on this many cylinders, and every compression reply,
// result, report and record holds exactly as many values.
inline constexpr std::size_t kCylinders = 6;

// One value per cylinder, cylinder 1 first.
using CylinderValues = std::array<double, kCylinders>;

} // namespace kr90x
