#include "app/StatusPanels.h"

#include <QPainter>

namespace kr90x {

StatusPanels::StatusPanels(std::vector<int> widths, QWidget* parent)
    : QWidget(parent), widths_(std::move(widths)) {
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        texts_.append(QString());
    }
}

QString StatusPanels::panelText(int index) const {
    return texts_.value(index);
}

void StatusPanels::setPanelText(int index, const QString& text) {
    if (index < 0 || index >= texts_.size() || texts_[index] == text) {
        return;
    }
    texts_[index] = text;
    update();
}

void StatusPanels::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    int left = 0;
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        const QRect panel(left, 2, widths_[i] - 2, height() - 2);
        p.setPen(shadow);
        p.drawLine(panel.topLeft(), panel.topRight());
        p.drawLine(panel.topLeft(), panel.bottomLeft());
        p.setPen(light);
        p.drawLine(panel.bottomLeft(), panel.bottomRight());
        p.drawLine(panel.topRight(), panel.bottomRight());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(panel.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   texts_.at(static_cast<qsizetype>(i)));
        left += widths_[i];
    }
}

} // namespace kr90x
