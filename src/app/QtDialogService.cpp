#include "app/QtDialogService.h"

#include <QMessageBox>

namespace kr90x {

void QtDialogService::showBox(const MessageBox& box) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (box.icon) {
    case MessageBox::Icon::Information:
        icon = QMessageBox::Information;
        break;
    case MessageBox::Icon::Error:
        icon = QMessageBox::Critical;
        break;
    case MessageBox::Icon::None:
        break;
    }
    QMessageBox dialog(icon, box.caption, box.text, QMessageBox::Ok, parent_);
    dialog.exec();
}

} // namespace kr90x
