#include "charts/ChartWidget.h"

#include "charts/AxisSteps.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPicture>

#include <algorithm>
#include <cmath>

namespace kr90x::charts {
namespace {
constexpr QColor kTitleColour{0, 0, 255};
constexpr double kScreenDpi = 96.0;
} // namespace

ChartWidget::ChartWidget(const FormatSettings& format, QFont titleFont, QWidget* parent)
    : QWidget(parent), format_(format), titleFont_(std::move(titleFont)) {}

void ChartWidget::clearTitle() {
    title_.clear();
    update();
}

void ChartWidget::setTitle(const QString& line) {
    setTitleLines(QStringList{line});
}

void ChartWidget::setTitleLines(const QStringList& lines) {
    title_ = lines;
    update();
}

QString ChartWidget::chartNumber(double value) const {
    return charts::chartNumber(value, format_);
}

QSize ChartWidget::logicalSize() const {
    return size().expandedTo(QSize(1, 1));
}

void ChartWidget::writeChartPicture(QPicture& picture) const {
    const QSize s = logicalSize();
    QPainter painter(&picture);
    paintChart(painter, QRectF(QPointF(0, 0), s));
    painter.end();
    picture.setBoundingRect(QRect(QPoint(0, 0), s));
}

QImage ChartWidget::renderImage(QSize pixels) const {
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const QSize s = logicalSize();
    QPainter painter(&image);
    painter.scale(qreal(image.width()) / s.width(), qreal(image.height()) / s.height());
    paintChart(painter, QRectF(QPointF(0, 0), s));
    painter.end();
    return image;
}

QImage ChartWidget::renderAtDpi(double dpi) const {
    const QSize s = logicalSize();
    const double f = dpi / kScreenDpi;
    QImage image = renderImage(QSize(std::max(1, int(std::lround(s.width() * f))),
                                     std::max(1, int(std::lround(s.height() * f)))));
    const int perMetre = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    return image;
}

void ChartWidget::paintEvent(QPaintEvent*) {
    repaintPending_ = false;
    QPainter painter(this);
    // What the chart leaves unpainted (the corners outside a rounded border) shows the
    // window behind it, as it would with any other control; a chart lying beneath this
    // one must not shine through there.
    if (const QWidget* p = parentWidget()) {
        painter.fillRect(rect(), p->palette().color(p->backgroundRole()));
    } else {
        painter.fillRect(rect(), palette().color(QPalette::Window));
    }
    paintChart(painter, QRectF(QPointF(0, 0), logicalSize()));
    paintOverlay(painter);
}

qreal ChartWidget::titleHeight() const {
    return QFontMetricsF(titleFont_).height() * title_.size();
}

qreal ChartWidget::drawTitle(QPainter* painter, qreal left, qreal right, qreal top) const {
    const QFontMetricsF fm(titleFont_);
    painter->setFont(titleFont_);
    painter->setPen(kTitleColour);
    qreal y = top;
    for (const QString& line : title_) {
        painter->drawText(QRectF(left, y, right - left, fm.height()),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, line);
        y += fm.height();
    }
    return y;
}

int ChartWidget::deviceColumns(const QPainter& painter, qreal width) {
    double scale = 1.0;
    if (painter.device() && painter.device()->devType() == QInternal::Picture) {
        // A vector picture is played back at any size, typically a printer's 300 dpi or
        // more: keep enough detail for that.
        scale = 4.0;
    } else {
        const QTransform t = painter.deviceTransform();
        scale = std::max(1.0, std::hypot(t.m11(), t.m12()));
    }
    const double columns = std::ceil(std::max(0.0, width) * scale);
    return static_cast<int>(std::clamp(columns, 1.0, 100000.0));
}

} // namespace kr90x::charts
