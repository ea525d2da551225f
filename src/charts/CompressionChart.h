#pragma once

#include "charts/ChartWidget.h"
#include "charts/Series.h"

#include <QPointF>

#include <cstdint>
#include <memory>

namespace kr90x::charts {

// The compression bar chart (`chart1`): one horizontal 3-D bar per cylinder, its value
// written 20 px beyond it, bar labels on the left, values along the bottom.
class CompressionChart : public ChartWidget {
    Q_OBJECT
public:
    explicit CompressionChart(const FormatSettings& format, QWidget* parent = nullptr);
    ~CompressionChart() override;

    BarSeries Series1;

    // The six fixed bars the hidden "Gráfico" button loads: "Cyl #1" at the bottom to
    // "Cyl #6" at the top. Title and visibility stay as they are.
    void addDemoBars();

    // The value axis as drawn at the current size: range and label step.
    struct ValueAxis {
        double minimum = 0;
        double maximum = 1;
        double step = 1;
    };
    ValueAxis valueAxis() const;

    // The geometry of one drawn bar, for whoever needs to point at it.
    struct BarPlace {
        QRectF front; // the front face
        QPointF markTopLeft;
        QSizeF markSize;
        bool labelShown = false;
    };
    BarPlace barPlace(int index) const;

    // Undoes a scroll of the view.
    void resetView();
    bool scrolled() const { return valueShift_ != 0 || positionShift_ != 0; }

    void paintChart(QPainter& painter, const QRectF& rect) const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Layout;
    struct LayoutCache;
    // The layout at `rect`, the scroll included.
    Layout layout(const QRectF& rect) const;
    Layout measureLayout(const QRectF& rect) const;
    BarPlace placeOf(const Layout& l, int index) const;

    // The scroll, in axis units so that every output size shows the same part.
    double valueShift_ = 0;
    double positionShift_ = 0;
    bool scrolling_ = false;
    QPointF scrollOrigin_;
    double scrollValueStart_ = 0;
    double scrollPositionStart_ = 0;
    std::uint64_t seriesRevision_ = 0; // counts the changes of Series1
    mutable std::unique_ptr<LayoutCache> layoutCache_;
};

} // namespace kr90x::charts
