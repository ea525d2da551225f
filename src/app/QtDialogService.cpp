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

#include "reports/OutputOptionsDialog.h"
#include "reports/StatusWindow.h"

#include <QFileDialog>

namespace kr90x {

reports::OutputOptionsAnswer
QtDialogService::outputOptions(const reports::OutputOptionsRequest& request) {
    reports::OutputOptionsDialog dialog(request, parent_);
    dialog.exec();
    return dialog.answer();
}

bool QtDialogService::runWithStatus(const QString& caption,
                                    const std::function<bool(reports::StatusReporter&)>& work) {
    reports::StatusWindow window(caption, parent_);
    window.show();
    window.raise();
    const bool done = work(window);
    window.close();
    return done;
}

void QtDialogService::showModalWindow(QDialog& window) {
    window.exec();
}

QString QtDialogService::saveFileName(const QString& caption, const QStringList& filters,
                                      int& filterIndex) {
    QString selected = filters.value(filterIndex);
    const QString name = QFileDialog::getSaveFileName(
        parent_, caption, QString(), filters.join(QStringLiteral(";;")), &selected);
    filterIndex = std::max<qsizetype>(0, filters.indexOf(selected));
    return name;
}

QString QtDialogService::openFileName(const QString& caption, const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent_, caption, QString(),
                                        filters.join(QStringLiteral(";;")));
}

} // namespace kr90x
