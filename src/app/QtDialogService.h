#pragma once

#include "reports/ReportDialogs.h"

class QWidget;

namespace kr90x {

// Shows the boxes as Qt's modal message boxes over the program's window, and the report
// windows as modal dialogs.
class QtDialogService : public reports::ReportDialogs {
public:
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    void showBox(const MessageBox& box) override;
    reports::OutputOptionsAnswer
    outputOptions(const reports::OutputOptionsRequest& request) override;
    bool runWithStatus(const QString& caption,
                       const std::function<bool(reports::StatusReporter&)>& work) override;
    void showModalWindow(QDialog& window) override;
    QString saveFileName(const QString& caption, const QStringList& filters,
                         int& filterIndex) override;
    QString openFileName(const QString& caption, const QStringList& filters) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace kr90x
