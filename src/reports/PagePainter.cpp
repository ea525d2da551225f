#include "reports/PagePainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace kr90x::reports {
namespace {

QFont fontFor(const FontSpec& spec, double pixelsPerMm, const QPaintDevice* device) {
    QFont font;
    font.setFamilies({spec.family, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Helvetica")});
    font.setBold(spec.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    // The painter draws in device pixels; the font's point size is taken at the device's
    // logical resolution, so ask for the size that gives the right height in pixels.
    const double pixels = spec.pointSize * kMmPerInch / kPointsPerInch * pixelsPerMm;
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96.0;
    font.setPointSizeF(std::max(0.1, pixels * kPointsPerInch / dpi));
    return font;
}

} // namespace

void paintPage(QPainter& painter, const Page& page, double k, double linePixels) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPen pen(Qt::black, linePixels);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    auto px = [k](const QRectF& mm) {
        return QRectF(mm.left() * k, mm.top() * k, mm.width() * k, mm.height() * k);
    };
    for (const PageItem& item : page.items) {
        const QRectF r = px(item.mm);
        switch (item.kind) {
        case ItemKind::Rectangle:
            painter.setPen(pen);
            painter.setBrush(Qt::white);
            painter.drawRect(r);
            break;
        case ItemKind::HLine:
            painter.setPen(pen);
            painter.drawLine(QPointF(r.left(), r.top()), QPointF(r.right(), r.top()));
            break;
        case ItemKind::VLine:
            painter.setPen(pen);
            painter.drawLine(QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()));
            break;
        case ItemKind::Text:
        case ItemKind::Memo: {
            const QFont font = fontFor(item.font, k, painter.device());
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QFontMetricsF fm(font, painter.device());
            const double em = item.font.pointSize * kMmPerInch / kPointsPerInch * k;
            double top = r.top();
            for (const QString& line : item.lines) {
                double x = r.left();
                if (item.kind == ItemKind::Memo || item.align == HAlign::Centre) {
                    x += (r.width() - fm.horizontalAdvance(line)) / 2.0;
                }
                painter.drawText(QPointF(x, top + em * kTextAscentEm), line);
                top += em * kTextLineEm;
            }
            break;
        }
        case ItemKind::Bitmap:
            painter.drawImage(r, item.image);
            break;
        case ItemKind::Picture:
            if (item.hasVector) {
                drawPictureInto(painter, item.picture, item.sourceSize, r);
            } else {
                painter.drawImage(r, item.image);
            }
            break;
        }
    }
    painter.restore();
}

} // namespace kr90x::reports
