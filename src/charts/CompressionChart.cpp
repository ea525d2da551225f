#include "charts/CompressionChart.h"

#include "charts/AxisSteps.h"
#include "core/Cylinders.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kr90x::charts {
namespace {

constexpr QColor kBarColour{68, 102, 163};
constexpr QColor kPanelColour{255, 255, 255};
constexpr QColor kPanelFrame{192, 192, 192};
constexpr QColor kBackWall{246, 246, 246};
constexpr QColor kSideWall{226, 226, 226};
constexpr QColor kWallPen{150, 150, 150};
constexpr QColor kGridPen{200, 200, 200};
constexpr QColor kMarkFill{255, 255, 225};
constexpr QColor kMarkPen{128, 128, 128};
constexpr QColor kMarkShadow{0, 0, 0, 60};

constexpr qreal kMargin = 8;          // between the panel edge and anything in it
constexpr qreal kTitleGapBelow = 6;   // below the title
constexpr qreal kValueTickLength = 4; // value-axis ticks below the floor
constexpr qreal kLabelGap = 6;        // between bar labels and the left wall
constexpr qreal kFreeBelow = 30;      // free space below the lowest bar
constexpr qreal kFreeAbove = 23;      // and above the highest
constexpr qreal kBarShare = 0.6;      // a bar's thickness in the space given to it
constexpr qreal kDepthShare = 0.15;
constexpr qreal kMarkDistance = 20; // from the bar's end to its mark
constexpr qreal kMarkPadX = 3;
constexpr qreal kMarkPadY = 1;
constexpr qreal kValueLabelSpacing = 8; // least room between two value labels

const QFont& barLabelFont() {
    static const QFont f = arialFont(13, true);
    return f;
}
const QFont& valueLabelFont() {
    static const QFont f = arialFont(12, true);
    return f;
}
// The chart's default font, Arial 8 pt, as 11 px at the screen's 96 dpi.
const QFont& markFont() {
    static const QFont f = arialFont(11, false);
    return f;
}

QPolygonF parallelogram(QPointF a, QPointF b, QPointF offset) {
    return QPolygonF({a, b, b + offset, a + offset});
}

} // namespace

struct CompressionChart::Layout {
    QRectF panel;
    qreal titleTop = 0;
    QRectF front;      // the plot's front plane
    QPointF depth;     // the 45 degree projection of the depth: right and up
    ValueAxis axis;    // the range shown (scroll included) and its label step
    qreal spacing = 0; // distance between the centres of two bars
    qreal firstCentre = 0;
    qreal markHeight = 0;

    qreal x(double v) const {
        return front.left() + (v - axis.minimum) / (axis.maximum - axis.minimum) * front.width();
    }
    qreal centre(int k) const { return firstCentre - k * spacing; }
    qreal thickness() const { return spacing * kBarShare; }
};

// The layout without the scroll, with the facts it was measured from: measuring the
// labels and choosing the label step is most of a paint, and a scroll only moves it.
struct CompressionChart::LayoutCache {
    struct Key {
        QRectF rect;
        qreal titleHeight;
        std::uint64_t series;
        QChar decimal;
        QChar thousands;
        bool operator==(const Key&) const = default;
    };
    Key key;
    Layout layout;
};

CompressionChart::~CompressionChart() = default;

CompressionChart::CompressionChart(const FormatSettings& format, QWidget* parent)
    : ChartWidget(format, arialFont(15, true), parent), Series1(kBarColour, [this] {
          ++seriesRevision_;
          scheduleRepaint();
      }) {
    setTitle(QStringLiteral("Petrol compression"));
}

void CompressionChart::addDemoBars() {
    Series1.Clear();
    resetView();
    const CylinderValues values = {30.0, 40.2, 50.0, 60.0, 70.0, 20.0};
    for (std::size_t i = 0; i < kCylinders; ++i) {
        Series1.AddBar(values[i], QStringLiteral("Cyl #%1").arg(i + 1), Series1.SeriesColor);
    }
}

void CompressionChart::resetView() {
    valueShift_ = 0;
    positionShift_ = 0;
    update();
}

CompressionChart::Layout CompressionChart::layout(const QRectF& rect) const {
    const LayoutCache::Key key{rect, titleHeight(), seriesRevision_, format().DecimalSeparator,
                               format().ThousandSeparator};
    if (!layoutCache_ || !(layoutCache_->key == key)) {
        layoutCache_ = std::make_unique<LayoutCache>(LayoutCache{key, measureLayout(rect)});
    }
    Layout l = layoutCache_->layout;
    l.axis.minimum += valueShift_;
    l.axis.maximum += valueShift_;
    l.firstCentre += positionShift_ * l.spacing;
    return l;
}

CompressionChart::Layout CompressionChart::measureLayout(const QRectF& rect) const {
    Layout l;
    l.panel = rect;
    l.titleTop = rect.top() + kMargin;
    const qreal top = l.titleTop + titleHeight() + kTitleGapBelow;

    const QFontMetricsF labelFm(barLabelFont());
    qreal labelWidth = 0;
    for (const QString& label : Series1.Labels) {
        labelWidth = std::max(labelWidth, labelFm.horizontalAdvance(label));
    }
    const QFontMetricsF markFm(markFont());
    qreal markWidth = 0;
    bool negative = false;
    for (double v : Series1.Bar) {
        markWidth = std::max(markWidth, markFm.horizontalAdvance(chartNumber(v)));
        negative = negative || v < 0;
    }
    markWidth += 2 * kMarkPadX;
    l.markHeight = markFm.height() + 2 * kMarkPadY;

    const qreal bottom =
        rect.bottom() - kMargin - QFontMetricsF(valueLabelFont()).height() - kValueTickLength;
    qreal left = rect.left() + kMargin + labelWidth + kLabelGap;
    if (negative) {
        left += kMarkDistance + markWidth; // room for the marks of bars left of 0
    }
    const qreal right = rect.right() - kMargin;
    const qreal depth = kDepthShare * std::max(0.0, std::min(right - left, bottom - top));
    const qreal d = depth * std::cos(M_PI / 4);
    l.depth = QPointF(d, -d);
    const qreal rightReserve = std::max(d, d / 2 + kMarkDistance + markWidth);
    l.front = QRectF(QPointF(left, top + d), QPointF(std::max(left, right - rightReserve), bottom));
    if (l.front.height() < 0) {
        l.front.setHeight(0);
    }

    // Value axis: from the origin (or below it for negative bars) to the largest value,
    // both rounded out to whole label steps; the step is the smallest whose labels do
    // not crowd one another.
    double lo = 0;
    double hi = 0;
    for (double v : Series1.Bar) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    const QFontMetricsF valueFm(valueLabelFont());
    const auto range = [&](double step) {
        double a = std::floor(lo / step) * step;
        double b = std::ceil(hi / step) * step;
        if (b <= a) {
            b = a + step;
        }
        return std::pair{a, b};
    };
    const qreal width = l.front.width();
    // A label is at least a digit wide.
    const double mostLabels = width / (valueFm.horizontalAdvance(QLatin1Char('0')) + 1);
    const double step = chooseLabelStep(hi - lo, 1.0, mostLabels, [&](double s) {
        const auto [a, b] = range(s);
        qreal widest = 0;
        forEachMultiple(a, b, s, [&](double v) {
            widest = std::max(widest, valueFm.horizontalAdvance(chartNumber(v)));
        });
        return width * s / (b - a) >= widest + kValueLabelSpacing;
    });
    const auto [a, b] = range(step);
    l.axis = ValueAxis{a, b, step};

    // Bars: the first added at the bottom, each next one a step higher, with the free
    // space the axis keeps below the lowest and above the highest bar.
    const int n = Series1.Count();
    if (n > 0) {
        const qreal room = std::max(0.0, l.front.height() - kFreeBelow - kFreeAbove);
        l.spacing = room / (n - 1 + kBarShare);
        l.firstCentre = l.front.bottom() - kFreeBelow - l.thickness() / 2;
    }
    return l;
}

CompressionChart::ValueAxis CompressionChart::valueAxis() const {
    return layout(QRectF(QPointF(0, 0), logicalSize())).axis;
}

CompressionChart::BarPlace CompressionChart::barPlace(int index) const {
    if (index < 0 || index >= Series1.Count()) {
        return BarPlace{};
    }
    return placeOf(layout(QRectF(QPointF(0, 0), logicalSize())), index);
}

CompressionChart::BarPlace CompressionChart::placeOf(const Layout& l, int index) const {
    BarPlace place;
    const double v = Series1.Bar[index];
    const qreal c = l.centre(index);
    const qreal x0 = l.x(0);
    const qreal x1 = l.x(v);
    place.front = QRectF(QPointF(std::min(x0, x1), c - l.thickness() / 2),
                         QPointF(std::max(x0, x1), c + l.thickness() / 2));
    const QFontMetricsF fm(markFont());
    place.markSize = QSizeF(fm.horizontalAdvance(chartNumber(v)) + 2 * kMarkPadX, l.markHeight);
    // The mark floats at the bar's middle depth, 20 px beyond its outer end.
    const QPointF anchor = QPointF(x1, c) + l.depth / 2;
    const qreal markLeft =
        v >= 0 ? anchor.x() + kMarkDistance : anchor.x() - kMarkDistance - place.markSize.width();
    place.markTopLeft = QPointF(markLeft, anchor.y() - l.markHeight / 2);
    place.labelShown = c > l.front.top() && c < l.front.bottom();
    return place;
}

void CompressionChart::paintChart(QPainter& p, const QRectF& rect) const {
    const Layout l = layout(rect);
    p.save();
    p.setClipRect(rect);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    p.fillRect(rect, kPanelColour);
    p.setPen(QPen(kPanelFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));

    drawTitle(&p, rect.left(), rect.right(), l.titleTop);

    const QRectF& f = l.front;
    const QPointF d = l.depth;
    // Walls: back, left and floor, seen from the front right above.
    p.setPen(QPen(kWallPen, 1));
    p.setBrush(kBackWall);
    p.drawRect(f.translated(d));
    p.setBrush(kSideWall);
    p.drawPolygon(parallelogram(f.topLeft(), f.bottomLeft(), d));
    p.drawPolygon(parallelogram(f.bottomLeft(), f.bottomRight(), d));

    // Value labels and their grid on the back wall and the floor.
    const QFontMetricsF valueFm(valueLabelFont());
    p.setFont(valueLabelFont());
    forEachMultiple(l.axis.minimum, l.axis.maximum, l.axis.step, [&](double v) {
        const qreal x = l.x(v);
        p.setPen(QPen(kGridPen, 1, Qt::DotLine));
        p.drawLine(QPointF(x, f.bottom()) + d, QPointF(x, f.top()) + d);
        p.drawLine(QPointF(x, f.bottom()), QPointF(x, f.bottom()) + d);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(QPointF(x, f.bottom()), QPointF(x, f.bottom() + kValueTickLength));
        const QString text = chartNumber(v);
        const qreal w = valueFm.horizontalAdvance(text);
        p.drawText(QRectF(x - w / 2, f.bottom() + kValueTickLength, w, valueFm.height()),
                   Qt::AlignCenter | Qt::TextDontClip, text);
    });

    const int n = Series1.Count();
    // Bar labels, each only where its bar's position lies strictly inside the axis.
    const QFontMetricsF labelFm(barLabelFont());
    p.setFont(barLabelFont());
    p.setPen(Qt::black);
    for (int k = 0; k < n; ++k) {
        const qreal c = l.centre(k);
        if (placeOf(l, k).labelShown) {
            p.drawText(QRectF(rect.left(), c - labelFm.height() / 2,
                              f.left() - kLabelGap - rect.left(), labelFm.height()),
                       Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, Series1.Labels[k]);
        }
    }

    // Bars, lowest first: a higher bar's front face lies before the top face of the one
    // below it.
    p.save();
    p.setClipRect(QRectF(f.left(), f.top() + d.y(), f.width() + d.x(), f.height() - d.y()),
                  Qt::IntersectClip);
    p.setPen(Qt::NoPen);
    const QColor front = Series1.SeriesColor;
    const QColor top = front.lighter(118);
    const QColor end = front.darker(135);
    for (int k = 0; k < n; ++k) {
        const double v = Series1.Bar[k];
        if (!std::isfinite(v)) {
            continue;
        }
        const QRectF face = placeOf(l, k).front;
        p.setBrush(top);
        p.drawPolygon(parallelogram(face.topLeft(), face.topRight(), d));
        p.setBrush(end);
        const qreal outer = v >= 0 ? face.right() : face.left();
        p.drawPolygon(parallelogram(QPointF(outer, face.top()), QPointF(outer, face.bottom()), d));
        p.setBrush(front);
        p.drawRect(face);
    }
    p.restore();

    // Marks, over everything, cut only at the panel.
    p.setFont(markFont());
    for (int k = 0; k < n; ++k) {
        if (!std::isfinite(Series1.Bar[k])) {
            continue;
        }
        const BarPlace place = placeOf(l, k);
        const QRectF box(place.markTopLeft, place.markSize);
        p.setPen(Qt::NoPen);
        p.setBrush(kMarkShadow);
        p.drawRect(box.translated(2, 2));
        p.setBrush(kMarkFill);
        p.setPen(QPen(kMarkPen, 1));
        p.drawRect(box);
        p.setPen(Qt::black);
        p.drawText(box, Qt::AlignCenter | Qt::TextDontClip, chartNumber(Series1.Bar[k]));
    }
    p.restore();
}

void CompressionChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        scrolling_ = true;
        scrollOrigin_ = event->position();
        scrollValueStart_ = valueShift_;
        scrollPositionStart_ = positionShift_;
    }
}

void CompressionChart::mouseMoveEvent(QMouseEvent* event) {
    if (!scrolling_) {
        return;
    }
    const Layout l = layout(QRectF(QPointF(0, 0), logicalSize()));
    const QPointF moved = event->position() - scrollOrigin_;
    if (l.front.width() > 0) {
        const double perPixel = (l.axis.maximum - l.axis.minimum) / l.front.width();
        valueShift_ = scrollValueStart_ - moved.x() * perPixel;
    }
    if (l.spacing > 0) {
        positionShift_ = scrollPositionStart_ + moved.y() / l.spacing;
    }
    update();
}

void CompressionChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        scrolling_ = false;
    }
}

void CompressionChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        resetView();
    }
}

} // namespace kr90x::charts
