#include "app/QtDialogService.h"

#include "app/SaveFolder.h"

#include <QApplication>
#include <QMessageBox>

namespace kr90x {

QWidget* QtDialogService::dialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return parent_;
}

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
    QMessageBox dialog(icon, box.caption, box.text, QMessageBox::Ok, dialogParent());
    dialog.exec();
}

} // namespace kr90x

#include "reports/OutputOptionsDialog.h"
#include "reports/PrinterSetupDialog.h"
#include "reports/StatusWindow.h"

#include <QFileDialog>
#include <QFileInfo>

namespace kr90x {

reports::OutputOptionsAnswer
QtDialogService::outputOptions(const reports::OutputOptionsRequest& request) {
    reports::OutputOptionsDialog dialog(request, dialogParent());
    dialog.exec();
    return dialog.answer();
}

bool QtDialogService::runWithStatus(const QString& caption,
                                    const std::function<bool(reports::StatusReporter&)>& work) {
    reports::StatusWindow window(caption, dialogParent());
    window.show();
    window.raise();
    const bool done = work(window);
    window.hide();
    return done;
}

void QtDialogService::showModalWindow(QDialog& window) {
    window.exec();
}

bool QtDialogService::printerSetup(QPrinter& printer) {
    reports::PrinterSetupDialog dialog(&printer, dialogParent());
    return dialog.exec() == QDialog::Accepted;
}

namespace {

// "Report Snapshot Files (*.rps)" -> "rps".
QString suffixOf(const QString& filter) {
    const qsizetype dot = filter.lastIndexOf(QStringLiteral("(*."));
    return dot < 0 ? QString() : filter.mid(dot + 3).chopped(1);
}

} // namespace

QString QtDialogService::saveFileName(const QString& caption, const QStringList& filters,
                                      int& filterIndex, const QString& suggested) {
    QFileDialog dialog(dialogParent(), caption, SaveFolder::load());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    const QString first = filters.value(filterIndex);
    dialog.selectNameFilter(first);
    // The dialog adds the type's suffix to a name typed without one before it looks for
    // an existing file, so its question covers the file that is written.
    dialog.setDefaultSuffix(suffixOf(first));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    if (!suggested.isEmpty()) {
        dialog.selectFile(suggested);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    filterIndex = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
    const QString chosen = dialog.selectedFiles().constFirst();
    SaveFolder::remember(QFileInfo(chosen).absolutePath());
    return chosen;
}

QString QtDialogService::openFileName(const QString& caption, const QStringList& filters) {
    return QFileDialog::getOpenFileName(dialogParent(), caption, QString(),
                                        filters.join(QStringLiteral(";;")));
}

bool QtDialogService::confirmOverwrite(const QString& fileName) {
    return QMessageBox::question(dialogParent(), QStringLiteral("Save As"),
                                 QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                     .arg(QFileInfo(fileName).fileName()),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace kr90x
