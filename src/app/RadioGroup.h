#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace kr90x {

// A titled box of mutually exclusive choices in one column, read by index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return buttons_.checkedId(); }
    void setItemIndex(int index);
    int itemCount() const { return static_cast<int>(buttons_.buttons().size()); }
    QAbstractButton* item(int index) const { return buttons_.button(index); }

private:
    QButtonGroup buttons_;
};

} // namespace kr90x
