#include "app/VehicleDialog.h"

#include "records/RecordColumns.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace kr90x {
namespace {

const records::VehicleField& field(records::Col col) {
    return records::kVehicleFields[static_cast<std::size_t>(records::at(col) -
                                                            records::at(records::Col::Plate))];
}

// No length limit on the edit itself: it would cut a longer stored text without a word.
QLineEdit* addLine(QFormLayout* form, const char* name, records::Col col) {
    auto* edit = new QLineEdit; // owned by the form's dialog once added
    edit->setObjectName(QString::fromLatin1(name));
    form->addRow(QString::fromLatin1(field(col).label), edit);
    return edit;
}

bool hasControl(const QString& text, bool lineBreaks) {
    return std::any_of(text.begin(), text.end(), [&](QChar c) {
        return c.category() == QChar::Other_Control && !(lineBreaks && c == QLatin1Char('\n'));
    });
}

} // namespace

VehicleDialog::VehicleDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vehicle"));
    auto* form = new QFormLayout(this); // owned by the dialog
    plate = addLine(form, "plate", records::Col::Plate);
    vin = addLine(form, "vin", records::Col::Vin);
    makeModel = addLine(form, "makeModel", records::Col::MakeModel);
    odometer = addLine(form, "odometer", records::Col::Odometer);
    customer = addLine(form, "customer", records::Col::Customer);
    technician = addLine(form, "technician", records::Col::Technician);
    notes = new QPlainTextEdit; // owned by the dialog once added
    notes->setObjectName(QStringLiteral("notes"));
    notes->setTabChangesFocus(true);
    notes->setFixedHeight(notes->fontMetrics().lineSpacing() * 4 + 12);
    form->addRow(QString::fromLatin1(field(records::Col::Notes).label), notes);
    problemLabel = new QLabel; // owned by the dialog once added
    problemLabel->setObjectName(QStringLiteral("problem"));
    problemLabel->setWordWrap(true);
    problemLabel->setTextFormat(Qt::PlainText);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    problemLabel->hide();
    form->addRow(problemLabel);

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

QString VehicleDialog::problem() const {
    const records::VehicleDetails d = details();
    for (const records::VehicleField& f : records::kVehicleFields) {
        const QString& text = d.*f.member;
        const QString label = QString::fromLatin1(f.label);
        if (hasControl(text, f.col == records::Col::Notes)) {
            return label + QStringLiteral(": holds a control character (such as NUL), which "
                                          "cannot be kept. Remove it and press OK again.");
        }
        // As the records count them: characters, not UTF-16 units.
        const qsizetype length = text.toUcs4().size();
        if (length > f.maxLength) {
            return label + QStringLiteral(": at most %1 characters can be kept; this has %2. "
                                          "Shorten it and press OK again.")
                               .arg(f.maxLength)
                               .arg(length);
        }
    }
    return {};
}

void VehicleDialog::accept() {
    if (const QString why = problem(); !why.isEmpty()) {
        problemLabel->setText(why);
        problemLabel->show();
        return;
    }
    problemLabel->hide();
    QDialog::accept();
}

records::VehicleDetails VehicleDialog::details() const {
    // Spaces around a field are a typing accident; inside it they are the mechanic's.
    return {plate->text().trimmed(),       vin->text().trimmed(),      makeModel->text().trimmed(),
            odometer->text().trimmed(),    customer->text().trimmed(), technician->text().trimmed(),
            notes->toPlainText().trimmed()};
}

} // namespace kr90x
