#pragma once

#include "charts/ChartWidget.h"
#include "charts/Series.h"

#include <QLineF>
#include <QList>
#include <QPolygonF>
#include <QTimer>

#include <memory>

namespace kr90x::charts {

// The pressure curve chart (`Chart2`): the curve `Series2` as a green line over the
// sample sequence, above the reference band `Series3`, on a fixed vertical scale. The
// user zooms by dragging a rectangle with the left button, scrolls with the right
// button and goes back to the whole curve with a double-click.
class PressureChart : public ChartWidget {
    Q_OBJECT
public:
    explicit PressureChart(const FormatSettings& format, QWidget* parent = nullptr);
    ~PressureChart() override;

    PointSeries Series3; // the band, drawn first
    PointSeries Series2; // the curve, drawn over it
    // A stored curve of the same function, drawn in translucent grey over the curve, so
    // that one identical to it still shows, with a legend naming both. Its points count
    // towards the horizontal range, so a longer curve is seen whole.
    PointSeries Comparison;
    // The kept curve's name in the legend drawn while Comparison holds points.
    void setComparisonLegend(const QString& text);
    const QString& comparisonLegend() const { return comparisonLegend_; }

    // The left axis. Setting either end also undoes any zoom or scroll, so that a new
    // read always starts on its whole curve at its function's scale.
    void setLeftAxisMinimum(double value);
    void setLeftAxisMaximum(double value);
    double leftAxisMinimum() const { return axisMinimum_; }
    double leftAxisMaximum() const { return axisMaximum_; }

    // The part of the data the plot shows.
    struct View {
        double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
        bool operator==(const View&) const = default;
    };
    // What is shown now: the zoomed or scrolled view, or else the whole curve on the
    // left axis' range.
    View currentView() const;
    bool zoomed() const { return manualView_; }
    void undoZoom();
    // Zooms into a rectangle given in widget pixels, as a drag of the left button does.
    void zoomToRect(const QRectF& pixels);

    // The move to a new view runs in 100 steps; tests and batch outputs can turn it off.
    void setZoomAnimated(bool on) { animated_ = on; }
    bool zoomAnimating() const { return animation_.isActive(); }

    // The plot area at the current size, in widget pixels.
    QRectF plotRect() const;
    // The label step of the left axis at the current size and view.
    double leftAxisStep() const;

    void paintChart(QPainter& painter, const QRectF& rect) const override;

signals:
    void viewChanged();

protected:
    void paintOverlay(QPainter& painter) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Layout;
    struct LayoutCache;
    // The layout of `rect` showing `view`; measured again only when something it depends
    // on (size, view, title, separators) differs from the last time.
    Layout layout(const QRectF& rect, const View& view) const;
    Layout measureLayout(const QRectF& rect, const View& view) const;
    View automaticView() const;
    void setView(const View& view);
    void animationStep();
    // The polyline of a series inside the view, thinned to a few vertices per device
    // column once the points outnumber the columns. For the band (`envelope`) only the
    // top of each column counts, since it is filled down to the bottom of the plot.
    void tracePath(const PointSeries& series, const Layout& l, int columns, bool envelope,
                   QPolygonF& out) const;
    // A series as a line 2 px wide in its own colour.
    void drawLine(QPainter& p, const PointSeries& series, const Layout& l, int columns) const;
    void drawLegend(QPainter& p, const QRectF& plot) const;

    double axisMinimum_ = 0;
    double axisMaximum_ = 2000;

    bool manualView_ = false;
    View view_;

    bool animated_ = true;
    QTimer animation_;
    int animationStepNo_ = 0;
    View animationFrom_;
    View animationTo_;

    enum class Drag { None, Zoom, Scroll };
    Drag drag_ = Drag::None;
    QPointF dragOrigin_;
    QPointF dragNow_;
    View dragStartView_;

    // Reused from paint to paint: no allocation once they have grown to size.
    mutable QPolygonF linePath_;
    mutable QPolygonF bandPath_;
    mutable QList<QLineF> lineSegments_;
    // Measuring every axis label is the costly part of a layout; paints, presses and
    // moves mostly ask for the same one again.
    mutable std::unique_ptr<LayoutCache> layoutCache_;
    QString comparisonLegend_;
};

} // namespace kr90x::charts
