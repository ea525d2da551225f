#include "reports/PageDescription.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kr90x::reports {

QImage rasterisePicture(const PageItem& item, double dpi) {
    if (!item.hasVector) {
        return item.image;
    }
    const double f = dpi / kMmPerInch;
    const QSize pixels(std::max(1, int(std::lround(item.mm.width() * f))),
                       std::max(1, int(std::lround(item.mm.height() * f))));
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int perMetre = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawPictureInto(painter, item.picture, item.sourceSize, QRectF(QPointF(0, 0), pixels));
    painter.end();
    return image;
}

void drawPictureInto(QPainter& painter, const QPicture& picture, QSizeF source,
                     const QRectF& target) {
    if (source.isEmpty()) {
        return;
    }
    // Qt plays a picture back enlarged by the device's resolution over the picture's;
    // the target is already in device pixels, so that enlargement is taken out again.
    const QPaintDevice* device = painter.device();
    const double dx = device && device->logicalDpiX() > 0
                          ? double(picture.logicalDpiX()) / device->logicalDpiX()
                          : 1.0;
    const double dy = device && device->logicalDpiY() > 0
                          ? double(picture.logicalDpiY()) / device->logicalDpiY()
                          : 1.0;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / source.width(), target.height() / source.height());
    painter.setClipRect(QRectF(QPointF(0, 0), source));
    painter.scale(dx, dy);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

// The picture's own bounding box goes first: Qt's format keeps the drawing but not a
// bounding box set after it, and the box is the chart's client rectangle.
QByteArray encodePicture(const QPicture& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out << picture.boundingRect();
    QPicture copy(picture);
    copy.save(&buffer);
    return bytes;
}

bool decodePicture(const QByteArray& bytes, QPicture& picture) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QDataStream in(&buffer);
    QRect box;
    in >> box;
    if (in.status() != QDataStream::Ok || !picture.load(&buffer)) {
        return false;
    }
    picture.setBoundingRect(box);
    return true;
}

} // namespace kr90x::reports
