// Zooming and scrolling a pressure chart with the mouse: the view it shows, animated
// towards a dragged rectangle, dragged along, or back to the whole curve.
#include "charts/PressureChart.h"
#include "charts/PressureChartLayout.h"

#include <QMouseEvent>
#include <QPainter>

namespace kr90x::charts {
namespace {

constexpr QColor kZoomPen{0, 0, 255};
constexpr int kZoomSteps = 100;

PressureChart::View lerp(const PressureChart::View& a, const PressureChart::View& b, double t) {
    const auto mix = [t](double u, double v) { return u + (v - u) * t; };
    return {mix(a.xMin, b.xMin), mix(a.xMax, b.xMax), mix(a.yMin, b.yMin), mix(a.yMax, b.yMax)};
}

} // namespace

void PressureChart::setView(const View& view) {
    manualView_ = true;
    view_ = view;
    update();
    emit viewChanged();
}

void PressureChart::undoZoom() {
    animation_.stop();
    drag_ = Drag::None;
    manualView_ = false;
    update();
    emit viewChanged();
}

void PressureChart::zoomToRect(const QRectF& pixels) {
    const View from = currentView();
    const Layout l = layout(QRectF(QPointF(0, 0), logicalSize()), from);
    const QRectF r = pixels.normalized() & l.plot;
    if (r.width() < 1 || r.height() < 1) {
        return;
    }
    const View to{l.xAt(r.left()), l.xAt(r.right()), l.yAt(r.bottom()), l.yAt(r.top())};
    if (!animated_) {
        animation_.stop();
        setView(to);
        return;
    }
    animationFrom_ = from;
    animationTo_ = to;
    animationStepNo_ = 0;
    manualView_ = true;
    view_ = from;
    animation_.start();
}

void PressureChart::animationStep() {
    ++animationStepNo_;
    if (animationStepNo_ >= kZoomSteps) {
        animation_.stop();
        setView(animationTo_);
        return;
    }
    view_ = lerp(animationFrom_, animationTo_, double(animationStepNo_) / kZoomSteps);
    update();
}

void PressureChart::paintOverlay(QPainter& p) const {
    if (drag_ != Drag::Zoom) {
        return;
    }
    p.setPen(QPen(kZoomPen, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(dragOrigin_, dragNow_).normalized());
}

void PressureChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        drag_ = Drag::Zoom;
    } else if (event->button() == Qt::RightButton) {
        if (animation_.isActive()) {
            animation_.stop();
            setView(animationTo_);
        }
        drag_ = Drag::Scroll;
        dragStartView_ = currentView();
    } else {
        return;
    }
    dragOrigin_ = dragNow_ = event->position();
}

void PressureChart::mouseMoveEvent(QMouseEvent* event) {
    dragNow_ = event->position();
    if (drag_ == Drag::Zoom) {
        update();
    } else if (drag_ == Drag::Scroll) {
        const Layout l = layout(QRectF(QPointF(0, 0), logicalSize()), dragStartView_);
        if (l.plot.width() <= 0 || l.plot.height() <= 0) {
            return;
        }
        const QPointF moved = dragNow_ - dragOrigin_;
        const double dx = moved.x() * (l.view.xMax - l.view.xMin) / l.plot.width();
        const double dy = moved.y() * (l.view.yMax - l.view.yMin) / l.plot.height();
        setView({l.view.xMin - dx, l.view.xMax - dx, l.view.yMin + dy, l.view.yMax + dy});
    }
}

void PressureChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && drag_ == Drag::Zoom) {
        drag_ = Drag::None;
        dragNow_ = event->position();
        const QPointF moved = dragNow_ - dragOrigin_;
        // Down and to the right zooms in; up and to the left goes back to the whole
        // curve, as many chart programs do. A click is neither.
        if (moved.x() > 0 && moved.y() > 0) {
            zoomToRect(QRectF(dragOrigin_, dragNow_));
        } else if (moved.x() < 0 && moved.y() < 0) {
            undoZoom();
        }
        update();
    } else if (event->button() == Qt::RightButton && drag_ == Drag::Scroll) {
        drag_ = Drag::None;
    }
}

void PressureChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        undoZoom();
    }
}

} // namespace kr90x::charts
