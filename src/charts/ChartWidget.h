#pragma once

#include "core/NumberFormat.h"

#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

class QPicture;

namespace kr90x::charts {

// What both charts share: a title of several lines, the owner's number separators, and
// the one paint routine that serves the screen, a vector picture for reports and a
// raster at any resolution. The chart's logical size is always its widget size; other
// outputs scale the painter, never the layout, so that every output shows the same
// chart.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    // `format` is the owner's and is read at every paint, so a change of separators
    // shows at the next paint.
    ChartWidget(const FormatSettings& format, QFont titleFont, QWidget* parent);

    // The title: every line centred above the plot.
    void clearTitle();
    void setTitle(const QString& line); // replaces all lines by this one
    void setTitleLines(const QStringList& lines);
    const QStringList& titleLines() const { return title_; }

    // Draws the chart, as it is at this moment (zoom and scrolling included), into
    // `rect` in logical pixels. Nothing is drawn outside `rect`.
    virtual void paintChart(QPainter& painter, const QRectF& rect) const = 0;

    // The chart's client rectangle (at least 1 x 1) drawn into a vector picture.
    void writeChartPicture(QPicture& picture) const;
    // The chart drawn into a raster of `pixels`, on white.
    QImage renderImage(QSize pixels) const;
    // The chart at its printed size (its logical pixels at 96 dpi) rendered at `dpi`.
    QImage renderAtDpi(double dpi) const;
    // The client size every output is laid out in, at least 1 x 1.
    QSize logicalSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Drawn over the chart on screen only: the rubber band of a zoom in progress.
    virtual void paintOverlay(QPainter&) const {}

    // Draws the title lines centred in [left, right] from `top`; returns the y below.
    qreal drawTitle(QPainter* painter, qreal left, qreal right, qreal top) const;
    qreal titleHeight() const;
    QString chartNumber(double value) const;
    const FormatSettings& format() const { return format_; }
    // Called by the series on every change: one paint later, not one per change. A
    // hidden chart schedules nothing; showing it paints it whole.
    void scheduleRepaint() {
        if (!repaintPending_ && isVisible()) {
            repaintPending_ = true;
            update();
        }
    }

    // How many columns a plot `width` logical pixels wide covers on the painter's device:
    // the resolution at which the curve can be thinned without a visible loss.
    static int deviceColumns(const QPainter& painter, qreal width);

private:
    const FormatSettings& format_;
    QFont titleFont_;
    QStringList title_;
    bool repaintPending_ = false;
};

} // namespace kr90x::charts
