#pragma once

#include "core/NumberFormat.h"

#include <QFont>
#include <QString>

#include <cmath>
#include <functional>

namespace kr90x::charts {

// Arial by name, with the metric-compatible Liberation Sans where Arial is not installed.
// Sizes are in pixels so that the screen, a vector picture and a 300 dpi raster all lay
// the chart out alike.
QFont arialFont(int pixelSize, bool bold);

// The chart's number picture "#,##0.###" with the owner's separators.
QString chartNumber(double value, const FormatSettings& format);

// The step after `step` in the sequence ..., 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, ...
double nextLabelStep(double step);

// The smallest step of that sequence, not below `firstStep`, for which `fits` holds.
// An axis has room for at most `mostLabels` labels, so the search starts near the step
// that would give that many, whatever the span: a span of 1e300 costs as little as one
// of 10. Once one step spans the whole `span` the labels cannot crowd any more, so the
// search ends there whatever `fits` says.
double chooseLabelStep(double span, double firstStep, double mostLabels,
                       const std::function<bool(double)>& fits);

// Multiples of `step` from the first at or above `from` to the last at or below `to`,
// with a tolerance for the rounding of the multiplication.
template <typename F> void forEachMultiple(double from, double to, double step, F&& f) {
    if (!(step > 0) || !(to >= from)) {
        return;
    }
    const double eps = step * 1e-9;
    double k = std::ceil((from - eps) / step);
    // An absurd range would loop for ever; no axis has room for more than this.
    for (int n = 0; n < 10000; ++n, k += 1) {
        const double v = k * step;
        if (v > to + eps) {
            break;
        }
        f(v == 0 ? 0.0 : v); // never a negative zero, which would print as "-0"
    }
}

} // namespace kr90x::charts
