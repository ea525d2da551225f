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
    bool cancelRequested() const override { return cancelled_; }

    QLabel* line = nullptr;
    QPushButton* cancel = nullptr;

private:
    bool cancelled_ = false;
};

} // namespace kr90x::reports
