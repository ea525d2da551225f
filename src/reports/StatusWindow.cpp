#include "reports/StatusWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kr90x::reports {

StatusWindow::StatusWindow(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReportStatus"));
    setWindowTitle(caption);
    setModal(true);
    auto* layout = new QVBoxLayout(this); // owned by the window
    line = new QLabel(this);
    line->setAlignment(Qt::AlignCenter);
    line->setMinimumWidth(240);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    layout->addWidget(line);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, &StatusWindow::reject);
}

void StatusWindow::reject() {
    cancelled_ = true;
    QDialog::reject();
}

bool StatusWindow::cancelRequested() const {
    QCoreApplication::processEvents();
    return cancelled_;
}

void StatusWindow::setStatusText(const QString& text) {
    line->setText(text);
    // The work runs on the main thread: let the line show and Cancel be pressed.
    QCoreApplication::processEvents();
}

} // namespace kr90x::reports
