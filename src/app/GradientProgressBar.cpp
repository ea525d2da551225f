#include "app/GradientProgressBar.h"

#include "core/NumberFormat.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kr90x {
namespace {
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kCream(0xFF, 0xFB, 0xF0);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kBlue(0x00, 0x00, 0xFF);
constexpr int kSegmentPitch = 4;
} // namespace

GradientProgressBar::GradientProgressBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientProgressBar::setPercent(int percent) {
    if (percent < 0 || percent > 100 || percent == percent_) {
        return;
    }
    percent_ = percent;
    update();
}

QString GradientProgressBar::caption() const {
    // The caption holds no real number, so the separators do not matter.
    return formatText(kProgressCaptionFormat, {percent_}, FormatSettings{});
}

void GradientProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    if (percent_ == 0) {
        p.fillRect(r, Qt::black);
    } else {
        QLinearGradient body(0, r.top(), 0, r.bottom());
        body.setColorAt(0, Qt::black);
        body.setColorAt(1, kGreen);
        p.fillRect(r, body);

        const int filled = r.width() * percent_ / 100;
        QLinearGradient share(0, r.top(), 0, r.bottom());
        share.setColorAt(0, kGreen);
        share.setColorAt(1, kYellow);
        p.fillRect(QRect(r.left(), r.top(), filled, r.height()), share);

        for (int x = r.left() + kSegmentPitch - 1; x <= r.right(); x += kSegmentPitch) {
            p.fillRect(QRect(x, r.top(), 1, r.height()), Qt::black);
        }
    }

    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(13);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QString text = caption();
    const QPointF origin((r.width() - metrics.horizontalAdvance(text)) / 2.0,
                         (r.height() + metrics.ascent() - metrics.descent()) / 2.0);
    QPainterPath path;
    path.addText(origin, font, text);

    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path.translated(1, 1), kSilver);
    p.strokePath(path, QPen(kCream, 2));
    p.fillPath(path, kBlue);
}

} // namespace kr90x
