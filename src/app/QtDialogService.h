#pragma once

#include "reports/ReportDialogs.h"

class QWidget;

namespace kr90x {

// Shows the boxes as Qt's modal message boxes, and the report windows as modal dialogs,
// each over the window the user is working in: the program's window, or the modal window
// open over it (a box raised from the preview belongs to the preview, and must not bring
// the program's window up over it).
class QtDialogService : public reports::ReportDialogs {
public:
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    void showBox(const MessageBox& box) override;
    reports::OutputOptionsAnswer
    outputOptions(const reports::OutputOptionsRequest& request) override;
    bool runWithStatus(const QString& caption,
                       const std::function<bool(reports::StatusReporter&)>& work) override;
    void showModalWindow(QDialog& window) override;
    bool printerSetup(QPrinter& printer) override;
    QString saveFileName(const QString& caption, const QStringList& filters, int& filterIndex,
                         const QString& suggested) override;
    QString openFileName(const QString& caption, const QStringList& filters) override;
    bool confirmOverwrite(const QString& fileName) override;

    // The window a dialog opened now belongs to.
    QWidget* dialogParent() const;

private:
    QWidget* parent_ = nullptr;
};

} // namespace kr90x
