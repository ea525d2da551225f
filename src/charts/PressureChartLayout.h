// The mapping between a pressure chart's values and its pixels, shared by its painting
// and by the mouse's zoom and scroll.
#pragma once

#include "charts/PressureChart.h"

#include <QRectF>

#include <algorithm>

namespace kr90x::charts {

// Pixel coordinates are kept within this distance of the plot: far enough to be cut by
// the clip, near enough for the rasteriser's fixed-point arithmetic.
inline constexpr qreal kFarAway = 1e5;

struct PressureChart::Layout {
    QRectF panel;
    qreal titleTop = 0;
    QRectF plot;
    View view;
    double step = 1;

    qreal px(double x) const {
        const qreal v = plot.left() + (x - view.xMin) / (view.xMax - view.xMin) * plot.width();
        return std::clamp(v, plot.left() - kFarAway, plot.right() + kFarAway);
    }
    qreal py(double y) const {
        const qreal v = plot.bottom() - (y - view.yMin) / (view.yMax - view.yMin) * plot.height();
        return std::clamp(v, plot.top() - kFarAway, plot.bottom() + kFarAway);
    }
    double xAt(qreal px) const {
        return view.xMin + (px - plot.left()) / plot.width() * (view.xMax - view.xMin);
    }
    double yAt(qreal py) const {
        return view.yMin + (plot.bottom() - py) / plot.height() * (view.yMax - view.yMin);
    }
};

} // namespace kr90x::charts
