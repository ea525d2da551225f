#include "app/RadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace kr90x {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent) {
    auto* column = new QVBoxLayout(this); // owned by this box
    column->setContentsMargins(8, 2, 8, 4);
    column->setSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items.at(i), this);
        radio->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        buttons_.addButton(radio, i);
        column->addWidget(radio);
    }
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = buttons_.button(index)) {
        b->setChecked(true);
    }
}

} // namespace kr90x
