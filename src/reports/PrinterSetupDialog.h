#pragma once

#include <QPrintDialog>

namespace kr90x::reports {

// The system's printer setup, opened from "Output Options": Qt's print dialog made into
// a setup dialog. It chooses the printer, the paper, the orientation, copies, collate
// and duplex for the print that follows; it prints nothing itself, so it offers no page
// range and its button reads "OK", not "Print".
class PrinterSetupDialog : public QPrintDialog {
    Q_OBJECT
public:
    PrinterSetupDialog(QPrinter* printer, QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("Print Setup"); }

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace kr90x::reports
