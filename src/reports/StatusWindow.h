#pragma once

#include "reports/ReportDialogs.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kr90x::reports {

// "Report Status": one centred line and Cancel, shown while pages are made or printed.
class StatusWindow : public QDialog, public StatusReporter {
    Q_OBJECT
public:
    explicit StatusWindow(const QString& caption, QWidget* parent = nullptr);

    void setStatusText(const QString& text) override;
    // Handles what waits in the event queue first: the work runs on the main thread, and
    // a Cancel pressed while it made a page is seen only then.
    bool cancelRequested() const override;

    // Cancel, Esc and the title bar's close all cancel.
    void reject() override;

    QLabel* line = nullptr;
    QPushButton* cancel = nullptr;

private:
    bool cancelled_ = false;
};

} // namespace kr90x::reports
