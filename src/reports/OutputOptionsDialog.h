#pragma once

#include "reports/ReportDialogs.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kr90x::reports {

// "Output Options": the selected printer, the destination (or, when printing from the
// preview, the page range) and the printer options.
class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OutputOptionsDialog(const OutputOptionsRequest& request, QWidget* parent = nullptr);

    // What the user chose; `accepted` follows the dialog's result.
    OutputOptionsAnswer answer() const;

    QLabel* printerLabel = nullptr;
    QRadioButton* rbPrinter = nullptr;
    QRadioButton* rbPreview = nullptr;
    QRadioButton* rbFile = nullptr;
    QLineEdit* fileName = nullptr;
    QToolButton* browse = nullptr;
    QComboBox* format = nullptr;
    QRadioButton* rbAll = nullptr;
    QRadioButton* rbSelection = nullptr;
    QRadioButton* rbPages = nullptr;
    QLineEdit* selection = nullptr;
    QLineEdit* fromPage = nullptr;
    QLineEdit* toPage = nullptr;
    QLineEdit* copies = nullptr;
    QCheckBox* collate = nullptr;
    QCheckBox* duplex = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* setup = nullptr;

private:
    void updateEnabled();

    OutputOptionsRequest request_;
};

} // namespace kr90x::reports
