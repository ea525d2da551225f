#include "app/VehicleDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kr90x {
namespace {

QLineEdit* addLine(QFormLayout* form, const char* name, const QString& label, int maxLength) {
    auto* edit = new QLineEdit; // owned by the form's dialog once added
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    form->addRow(label, edit);
    return edit;
}

} // namespace

VehicleDialog::VehicleDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vehicle"));
    auto* form = new QFormLayout(this); // owned by the dialog
    plate = addLine(form, "plate", QStringLiteral("Registration plate"), 20);
    vin = addLine(form, "vin", QStringLiteral("VIN"), 20);
    makeModel = addLine(form, "makeModel", QStringLiteral("Make and model"), 80);
    odometer = addLine(form, "odometer", QStringLiteral("Odometer"), 20);
    customer = addLine(form, "customer", QStringLiteral("Customer"), 80);
    technician = addLine(form, "technician", QStringLiteral("Technician"), 80);
    notes = new QPlainTextEdit; // owned by the dialog once added
    notes->setObjectName(QStringLiteral("notes"));
    notes->setTabChangesFocus(true);
    notes->setFixedHeight(notes->fontMetrics().lineSpacing() * 4 + 12);
    form->addRow(QStringLiteral("Notes"), notes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Reset); // owned
    buttons->button(QDialogButtonBox::Reset)->setText(QStringLiteral("Clear"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this,
            [this] { setDetails({}); });
    setMinimumWidth(420);
}

void VehicleDialog::setDetails(const records::VehicleDetails& d) {
    plate->setText(d.plate);
    vin->setText(d.vin);
    makeModel->setText(d.makeModel);
    odometer->setText(d.odometer);
    customer->setText(d.customer);
    technician->setText(d.technician);
    notes->setPlainText(d.notes);
}

records::VehicleDetails VehicleDialog::details() const {
    // Spaces around a field are a typing accident; inside it they are the mechanic's.
    return {plate->text().trimmed(),       vin->text().trimmed(),      makeModel->text().trimmed(),
            odometer->text().trimmed(),    customer->text().trimmed(), technician->text().trimmed(),
            notes->toPlainText().trimmed()};
}

} // namespace kr90x
