#include "reports/PrinterSetupDialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>

namespace kr90x::reports {

PrinterSetupDialog::PrinterSetupDialog(QPrinter* printer, QWidget* parent)
    : QPrintDialog(printer, parent) {
    setObjectName(QStringLiteral("PrinterSetup"));
    setWindowTitle(title());
    setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
}

// Qt names its button "Print" as the dialog is shown; a setup only confirms its choices.
void PrinterSetupDialog::showEvent(QShowEvent* event) {
    QPrintDialog::showEvent(event);
    for (QDialogButtonBox* box : findChildren<QDialogButtonBox*>()) {
        if (QAbstractButton* ok = box->button(QDialogButtonBox::Ok)) {
            ok->setText(QStringLiteral("OK"));
        }
    }
}

} // namespace kr90x::reports
