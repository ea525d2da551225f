#include "charts/PressureChart.h"

#include "charts/AxisSteps.h"
#include "charts/PressureChartLayout.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace kr90x::charts {
namespace {

constexpr QColor kCurveColour{0, 128, 0};
// Silver at 60 % transparency: 40 % of full opacity.
constexpr QColor kBandColour{192, 192, 192, 102};
// Translucent and drawn over the curve: a kept curve identical to the new one still shows.
constexpr QColor kComparisonColour{128, 128, 128, 160};
constexpr QColor kBorderColour{192, 192, 192};
constexpr QColor kGridColour{200, 200, 200};
constexpr qreal kBorderRadius = 28;
constexpr qreal kBorderWidth = 2;
constexpr qreal kTopMarginShare = 0.05;
constexpr qreal kBottomMarginShare = 0.05;
constexpr qreal kRightMarginShare = 0.03;
constexpr qreal kLeftMargin = 14;
constexpr qreal kTitleGap = 8;
constexpr qreal kTickLength = 4;
constexpr qreal kTickGap = 2;
constexpr qreal kLabelSpacing = 2; // least room between two axis labels
constexpr int kZoomStepMs = 3;

const QFont& axisLabelFont() {
    static const QFont f = arialFont(11, false);
    return f;
}

// A view that maps without dividing by zero: empty ranges are widened around their
// value.
PressureChart::View usable(PressureChart::View v) {
    if (!(v.xMax > v.xMin)) {
        v.xMin -= 1;
        v.xMax = v.xMin + 2;
    }
    if (!(v.yMax > v.yMin)) {
        v.yMax = v.yMin + 1;
    }
    return v;
}

} // namespace

struct PressureChart::LayoutCache {
    struct Key {
        QRectF rect;
        View view;
        bool manualView;
        qreal titleHeight;
        QChar decimal;
        QChar thousands;
        bool operator==(const Key&) const = default;
    };
    Key key;
    Layout layout;
};

PressureChart::~PressureChart() = default;

PressureChart::PressureChart(const FormatSettings& format, QWidget* parent)
    : ChartWidget(format, arialFont(17, true), parent),
      Series3(QColor(192, 192, 192), [this] { scheduleRepaint(); }),
      Series2(kCurveColour, [this] { scheduleRepaint(); }),
      Comparison(kComparisonColour, [this] { scheduleRepaint(); }) {
    setTitle(QStringLiteral("High pressure common rail"));
    animation_.setInterval(kZoomStepMs);
    connect(&animation_, &QTimer::timeout, this, &PressureChart::animationStep);
}

void PressureChart::setLeftAxisMinimum(double value) {
    axisMinimum_ = value;
    undoZoom();
}

void PressureChart::setLeftAxisMaximum(double value) {
    axisMaximum_ = value;
    undoZoom();
}

PressureChart::View PressureChart::automaticView() const {
    View v;
    bool any = false;
    for (const PointSeries* s : {&Series3, &Series2, &Comparison}) {
        if (s->isEmpty()) {
            continue;
        }
        v.xMin = any ? std::min(v.xMin, s->X.front()) : s->X.front();
        v.xMax = any ? std::max(v.xMax, s->X.back()) : s->X.back();
        any = true;
    }
    if (!any) {
        v.xMin = 0;
        v.xMax = 1;
    }
    v.yMin = axisMinimum_;
    v.yMax = axisMaximum_;
    return usable(v);
}

PressureChart::View PressureChart::currentView() const {
    return manualView_ ? usable(view_) : automaticView();
}

PressureChart::Layout PressureChart::layout(const QRectF& rect, const View& view) const {
    const LayoutCache::Key key{rect,
                               usable(view),
                               manualView_,
                               titleHeight(),
                               format().DecimalSeparator,
                               format().ThousandSeparator};
    if (!layoutCache_ || !(layoutCache_->key == key)) {
        layoutCache_ = std::make_unique<LayoutCache>(LayoutCache{key, measureLayout(rect, view)});
    }
    return layoutCache_->layout;
}

PressureChart::Layout PressureChart::measureLayout(const QRectF& rect, const View& view) const {
    Layout l;
    l.panel = rect;
    l.view = usable(view);
    l.titleTop = rect.top() + kTopMarginShare * rect.height();
    const qreal top = l.titleTop + titleHeight() + kTitleGap;
    const qreal bottom = std::max(top, rect.bottom() - kBottomMarginShare * rect.height());

    // Left axis: the smallest step whose labels do not overlap. A zoomed view may need
    // steps below one unit, written with up to three decimals.
    const QFontMetricsF fm(axisLabelFont());
    const double span = l.view.yMax - l.view.yMin;
    const qreal height = bottom - top;
    const double mostLabels = height / (fm.height() + kLabelSpacing);
    l.step = chooseLabelStep(span, manualView_ ? 0.001 : 1.0, mostLabels, [&](double s) {
        return height * s / span >= fm.height() + kLabelSpacing;
    });
    qreal labelWidth = 0;
    forEachMultiple(l.view.yMin, l.view.yMax, l.step, [&](double v) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(chartNumber(v)));
    });
    const qreal left = rect.left() + kLeftMargin + labelWidth + kTickGap + kTickLength;
    const qreal right = std::max(left, rect.right() - kRightMarginShare * rect.width());
    l.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    return l;
}

QRectF PressureChart::plotRect() const {
    return layout(QRectF(QPointF(0, 0), logicalSize()), currentView()).plot;
}

double PressureChart::leftAxisStep() const {
    return layout(QRectF(QPointF(0, 0), logicalSize()), currentView()).step;
}

void PressureChart::tracePath(const PointSeries& series, const Layout& l, int columns,
                              bool envelope, QPolygonF& out) const {
    out.clear();
    const std::vector<double>& X = series.X;
    const std::vector<double>& Y = series.Y;
    const auto n = static_cast<std::ptrdiff_t>(X.size());
    if (n == 0) {
        return;
    }
    // The visible points and one more on either side, whose segments enter the plot.
    std::ptrdiff_t i0 = std::lower_bound(X.begin(), X.end(), l.view.xMin) - X.begin();
    std::ptrdiff_t i1 = std::upper_bound(X.begin(), X.end(), l.view.xMax) - X.begin();
    i0 = std::max<std::ptrdiff_t>(0, i0 - 1);
    i1 = std::min(n, i1 + 1);
    if (i1 <= i0) {
        return;
    }

    if (i1 - i0 <= 2 * static_cast<std::ptrdiff_t>(columns)) {
        for (std::ptrdiff_t i = i0; i < i1; ++i) {
            if (std::isfinite(Y[i])) {
                out.append(QPointF(l.px(X[i]), l.py(Y[i])));
            }
        }
        return;
    }

    // More points than columns: per column, the first, lowest, highest and last point
    // cover exactly the pixels the whole polyline would; for the band the top is enough.
    const qreal left = l.plot.left();
    const qreal right = l.plot.right();
    const qreal columnWidth = l.plot.width() / columns;
    int column = INT_MIN;
    qreal first = 0, top = 0, low = 0, last = 0;
    const auto flush = [&] {
        if (column == INT_MIN) {
            return;
        }
        const qreal cx = left + (column + 0.5) * columnWidth;
        if (envelope) {
            out.append(QPointF(cx, top));
        } else {
            out.append(QPointF(cx, first));
            out.append(QPointF(cx, top));
            out.append(QPointF(cx, low));
            out.append(QPointF(cx, last));
        }
        column = INT_MIN;
    };
    for (std::ptrdiff_t i = i0; i < i1; ++i) {
        if (!std::isfinite(Y[i])) {
            continue;
        }
        const qreal x = l.px(X[i]);
        const qreal y = l.py(Y[i]);
        if (x < left || x > right) {
            flush();
            out.append(QPointF(x, y));
            continue;
        }
        const int c = std::min(columns - 1, static_cast<int>((x - left) / columnWidth));
        if (c != column) {
            flush();
            column = c;
            first = top = low = last = y;
        } else {
            top = std::min(top, y);
            low = std::max(low, y);
            last = y;
        }
    }
    flush();
}

void PressureChart::paintChart(QPainter& p, const QRectF& rect) const {
    const Layout l = layout(rect, currentView());
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Body: white inside a silver border with rounded corners.
    QPainterPath body;
    const qreal inset = kBorderWidth / 2;
    body.addRoundedRect(rect.adjusted(inset, inset, -inset, -inset), kBorderRadius, kBorderRadius);
    p.fillPath(body, Qt::white);
    p.strokePath(body, QPen(kBorderColour, kBorderWidth));

    drawTitle(&p, rect.left(), rect.right(), l.titleTop);

    // Left axis with its grid; the bottom axis is hidden altogether.
    const QRectF& plot = l.plot;
    const QFontMetricsF fm(axisLabelFont());
    p.setFont(axisLabelFont());
    p.setRenderHint(QPainter::Antialiasing, false);
    forEachMultiple(l.view.yMin, l.view.yMax, l.step, [&](double v) {
        const qreal y = std::round(l.py(v));
        p.setPen(QPen(kGridColour, 1, Qt::DotLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(QPointF(plot.left() - kTickLength, y), QPointF(plot.left(), y));
        p.drawText(QRectF(rect.left(), y - fm.height() / 2,
                          plot.left() - kTickLength - kTickGap - rect.left(), fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, chartNumber(v));
    });
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(plot.topLeft(), plot.bottomLeft());

    // The series, cut at the plot's border.
    p.setClipRect(plot, Qt::IntersectClip);
    const int columns = deviceColumns(p, plot.width());
    tracePath(Series3, l, columns, true, bandPath_);
    if (bandPath_.size() >= 2) {
        const qreal firstX = bandPath_.first().x();
        const qreal lastX = bandPath_.last().x();
        bandPath_.append(QPointF(lastX, plot.bottom()));
        bandPath_.append(QPointF(firstX, plot.bottom()));
        p.setPen(Qt::NoPen);
        p.setBrush(kBandColour);
        p.drawPolygon(bandPath_);
    }
    drawLine(p, Series2, l, columns);
    drawLine(p, Comparison, l, columns);
    if (!Comparison.isEmpty() && !comparisonLegend_.isEmpty()) {
        drawLegend(p, plot);
    }
    p.restore();
}

// Which line is which, in the plot's top right corner: the curve, and the kept one.
void PressureChart::drawLegend(QPainter& p, const QRectF& plot) const {
    const QFont font = axisLabelFont();
    const QFontMetricsF fm(font);
    const std::array<std::pair<QColor, QString>, 2> rows = {
        {{kCurveColour, QStringLiteral("This curve")}, {kComparisonColour, comparisonLegend_}}};
    constexpr qreal kSwatch = 18;
    constexpr qreal kPad = 4;
    qreal width = 0;
    for (const auto& row : rows) {
        width = std::max(width, fm.horizontalAdvance(row.second));
    }
    width = std::min(width + kSwatch + 3 * kPad, plot.width() - 2 * kPad);
    const qreal rowHeight = fm.height();
    const QRectF box(plot.right() - kPad - width, plot.top() + kPad, width,
                     rows.size() * rowHeight + 2 * kPad);
    p.setPen(QPen(kBorderColour, 1));
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRect(box);
    p.setFont(font);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const qreal y = box.top() + kPad + i * rowHeight;
        const qreal mid = y + rowHeight / 2;
        p.setPen(QPen(rows[i].first, 2));
        p.drawLine(QPointF(box.left() + kPad, mid), QPointF(box.left() + kPad + kSwatch, mid));
        p.setPen(Qt::black);
        const QRectF text(box.left() + 2 * kPad + kSwatch, y,
                          box.right() - kPad - (box.left() + 2 * kPad + kSwatch), rowHeight);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(rows[i].second, Qt::ElideRight, text.width()));
    }
}

void PressureChart::setComparisonLegend(const QString& text) {
    comparisonLegend_ = text;
    scheduleRepaint();
}

void PressureChart::drawLine(QPainter& p, const PointSeries& series, const Layout& l,
                             int columns) const {
    tracePath(series, l, columns, false, linePath_);
    // Separate segments with square caps, not one polyline with joins: the rasteriser
    // draws those directly, where joins would go through the general path stroker, many
    // times slower for a long curve.
    lineSegments_.clear();
    for (qsizetype i = 1; i < linePath_.size(); ++i) {
        if (linePath_[i] != linePath_[i - 1]) {
            lineSegments_.append(QLineF(linePath_[i - 1], linePath_[i]));
        }
    }
    p.setPen(QPen(series.SeriesColor, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Qt::NoBrush);
    if (!linePath_.isEmpty() && lineSegments_.isEmpty()) {
        p.drawPoint(linePath_.first()); // a single point, or all in one place
    } else {
        p.drawLines(lineSegments_);
    }
}

} // namespace kr90x::charts
