#include "reports/OutputOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace kr90x::reports {

OutputOptionsDialog::OutputOptionsDialog(const OutputOptionsRequest& request, QWidget* parent)
    : QDialog(parent), request_(request) {
    setObjectName(QStringLiteral("OutputOptions"));
    setWindowTitle(request.caption);
    setModal(true);
    auto* layout = new QVBoxLayout(this); // owned by the dialog

    auto* printerGroup = new QGroupBox(QStringLiteral("Selected Printer"), this);
    auto* printerLayout = new QHBoxLayout(printerGroup);
    printerLabel = new QLabel(request.printerText, printerGroup);
    printerLayout->addWidget(printerLabel);
    layout->addWidget(printerGroup);

    auto* destGroup = new QGroupBox(request.printRangeForm ? QStringLiteral("Print Range")
                                                           : QStringLiteral("Report Destination"),
                                    this);
    auto* dest = new QGridLayout(destGroup);
    if (request.printRangeForm) {
        rbAll = new QRadioButton(QStringLiteral("All"), destGroup);
        rbSelection = new QRadioButton(QStringLiteral("Selection"), destGroup);
        rbPages = new QRadioButton(QStringLiteral("Pages"), destGroup);
        selection = new QLineEdit(QStringLiteral("1-%1").arg(request.pageCount), destGroup);
        fromPage = new QLineEdit(QStringLiteral("1"), destGroup);
        toPage = new QLineEdit(QString::number(request.pageCount), destGroup);
        rbAll->setChecked(true);
        dest->addWidget(rbAll, 0, 0);
        dest->addWidget(rbSelection, 1, 0);
        dest->addWidget(selection, 1, 1, 1, 3);
        dest->addWidget(rbPages, 2, 0);
        dest->addWidget(fromPage, 2, 1);
        dest->addWidget(new QLabel(QStringLiteral("to"), destGroup), 2, 2);
        dest->addWidget(toPage, 2, 3);
        for (QRadioButton* rb : {rbAll, rbSelection, rbPages}) {
            connect(rb, &QRadioButton::toggled, this, [this] { updateEnabled(); });
        }
    } else {
        rbPrinter = new QRadioButton(QStringLiteral("&Printer"), destGroup);
        rbPreview = new QRadioButton(QStringLiteral("Pre&view"), destGroup);
        rbFile = new QRadioButton(QStringLiteral("&File"), destGroup);
        fileName = new QLineEdit(destGroup);
        browse = new QToolButton(destGroup);
        browse->setText(QStringLiteral("..."));
        format = new QComboBox(destGroup);
        rbPreview->setChecked(true);
        dest->addWidget(rbPrinter, 0, 0);
        dest->addWidget(rbPreview, 1, 0);
        dest->addWidget(rbFile, 2, 0);
        dest->addWidget(fileName, 2, 1);
        dest->addWidget(browse, 2, 2);
        dest->addWidget(new QLabel(QStringLiteral("Format:"), destGroup), 3, 0);
        dest->addWidget(format, 3, 1, 1, 2);
        for (QRadioButton* rb : {rbPrinter, rbPreview, rbFile}) {
            connect(rb, &QRadioButton::toggled, this, [this] { updateEnabled(); });
        }
    }
    layout->addWidget(destGroup);

    auto* optGroup = new QGroupBox(QStringLiteral("Options"), this);
    auto* opts = new QGridLayout(optGroup);
    copies = new QLineEdit(QString::number(request.copies), optGroup);
    auto* copiesLabel = new QLabel(QStringLiteral("&Copies"), optGroup);
    copiesLabel->setBuddy(copies);
    collate = new QCheckBox(QStringLiteral("C&ollate"), optGroup);
    collate->setChecked(request.collate);
    duplex = new QCheckBox(QStringLiteral("&Duplex"), optGroup);
    duplex->setChecked(request.duplex);
    opts->addWidget(copiesLabel, 0, 0);
    opts->addWidget(copies, 0, 1);
    opts->addWidget(collate, 1, 0, 1, 2);
    opts->addWidget(duplex, 2, 0, 1, 2);
    layout->addWidget(optGroup);

    auto* buttons = new QHBoxLayout;
    ok = new QPushButton(QStringLiteral("   OK   "), this);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    setup = new QPushButton(QStringLiteral("&Setup"), this);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(setup);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(setup, &QPushButton::clicked, this, [this] {
        if (!request_.setupPrinter) {
            return;
        }
        bool ok = false;
        const int n = copies->text().trimmed().toInt(&ok);
        const PrinterChoice chosen =
            request_.setupPrinter({printerLabel->text(), ok && n >= 1 ? n : request_.copies,
                                   collate->isChecked(), duplex->isChecked()});
        printerLabel->setText(chosen.printerText);
        copies->setText(QString::number(chosen.copies));
        collate->setChecked(chosen.collate);
        duplex->setChecked(chosen.duplex);
    });

    if (!request.printerValid && rbPrinter) {
        rbPreview->setChecked(true);
    }
    updateEnabled();
}

void OutputOptionsDialog::updateEnabled() {
    const bool valid = request_.printerValid;
    bool printerOptions = valid;
    if (rbPrinter) {
        rbPrinter->setEnabled(valid);
        rbFile->setEnabled(false); // no file destination is offered
        fileName->setEnabled(false);
        browse->setEnabled(false);
        format->setEnabled(false);
        printerOptions = valid && rbPrinter->isChecked();
    } else {
        selection->setEnabled(rbSelection->isChecked());
        fromPage->setEnabled(rbPages->isChecked());
        toPage->setEnabled(rbPages->isChecked());
    }
    copies->setEnabled(printerOptions);
    collate->setEnabled(printerOptions);
    duplex->setEnabled(printerOptions);
    setup->setEnabled(valid && static_cast<bool>(request_.setupPrinter));
}

OutputOptionsAnswer OutputOptionsDialog::answer() const {
    OutputOptionsAnswer a;
    a.accepted = result() == QDialog::Accepted;
    if (rbPrinter) {
        a.destination =
            rbPrinter->isChecked() ? ReportDestination::Printer : ReportDestination::Preview;
    } else {
        a.destination = ReportDestination::Printer;
        a.range = rbSelection->isChecked() ? OutputOptionsAnswer::Range::Selection
                  : rbPages->isChecked()   ? OutputOptionsAnswer::Range::Pages
                                           : OutputOptionsAnswer::Range::All;
        a.selection = selection->text();
        a.fromPage = fromPage->text().toInt();
        a.toPage = toPage->text().toInt();
    }
    // The engine takes the printer fields only while they are allowed.
    a.copiesText = copies->isEnabled() ? copies->text() : QString::number(request_.copies);
    a.collate = collate->isEnabled() ? collate->isChecked() : request_.collate;
    a.duplex = duplex->isEnabled() ? duplex->isChecked() : request_.duplex;
    return a;
}

} // namespace kr90x::reports
