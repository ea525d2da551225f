#pragma once

#include "records/Measurement.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kr90x {

// "Vehicle": what the mechanic tells about the vehicle of the result on screen. Any
// Unicode text is taken as typed, within each field's bound; "Clear" empties every field.
// A text too long, or with a control character (a NUL, say; the notes may have line
// breaks), is refused here, where it can be mended, never cut or dropped later: OK then
// says why under the fields and the dialog stays open.
class VehicleDialog : public QDialog {
    Q_OBJECT
public:
    explicit VehicleDialog(QWidget* parent = nullptr);

    void setDetails(const records::VehicleDetails& details);
    records::VehicleDetails details() const;
    // Why the details cannot be kept as they are; empty when they can.
    QString problem() const;
    void accept() override;

    // The fields, in the order of the form (owned by the dialog).
    QLineEdit* plate = nullptr;
    QLineEdit* vin = nullptr;
    QLineEdit* makeModel = nullptr;
    QLineEdit* odometer = nullptr;
    QLineEdit* customer = nullptr;
    QLineEdit* technician = nullptr;
    QPlainTextEdit* notes = nullptr;
    QLabel* problemLabel = nullptr;
};

} // namespace kr90x
