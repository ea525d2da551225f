#include "simulator/StoredCurves.h"

#include <cmath>
#include <numbers>

namespace kr90x {
namespace {

using std::numbers::pi;

// Engine speed over a test drive, from idle (0) to high revs (1) and back, once every
// 600 samples.
double revs(double k) {
    return 0.5 - 0.5 * std::cos(2 * pi * k / 600.0);
}

int railSample(StoredTest test, double k) {
    switch (test) {
    case StoredTest::Rail: // bar: the pump builds up to about 1,350 with its ripple
        return static_cast<int>(1350.0 * (1.0 - std::exp(-k / 120.0)) + 30.0 * std::sin(k / 9.0));
    case StoredTest::Oil: // 0.1 bar: 1.5 bar at idle, 4.5 at high revs
        return static_cast<int>(15.0 + 30.0 * revs(k) + std::sin(k / 3.0));
    case StoredTest::LowPressure: // 0.1 bar: the feed pump's steady 5 bar, a little ripple
        return static_cast<int>(50.0 + 4.0 * std::sin(k / 5.0));
    case StoredTest::Manometer: // 0.1 bar: rising to about 45 bar
        return static_cast<int>(450.0 * (1.0 - std::exp(-k / 80.0)) + 5.0 * std::sin(k / 7.0));
    }
    return 0;
}

} // namespace

int storedSample(StoredTest highPressureTest, CurveChannel channel, int k) {
    const double t = k;
    switch (channel) {
    case CurveChannel::HighPressure:
        return railSample(highPressureTest, t);
    case CurveChannel::Turbo: // mbar: boost from 200 to 1,700 with the revs
        return static_cast<int>(200.0 + 1500.0 * revs(t));
    case CurveChannel::Fsi: // 0.1 bar: 65 to 115 bar
        return static_cast<int>(900.0 + 250.0 * std::sin(t / 25.0));
    case CurveChannel::Tdi: // 0.1 bar: 3.5 to 6.5 bar
        return static_cast<int>(50.0 + 15.0 * std::sin(t / 30.0));
    case CurveChannel::None:
        break;
    }
    return 0;
}

} // namespace kr90x
