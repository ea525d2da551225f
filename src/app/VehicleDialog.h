#pragma once

#include "records/Measurement.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace kr90x {

// "Vehicle": what the mechanic tells about the vehicle of the result on screen. Any
// text is taken as typed; "Clear" empties every field.
class VehicleDialog : public QDialog {
    Q_OBJECT
public:
    explicit VehicleDialog(QWidget* parent = nullptr);

    void setDetails(const records::VehicleDetails& details);
    records::VehicleDetails details() const;

    // The fields, in the order of the form (owned by the dialog).
    QLineEdit* plate = nullptr;
    QLineEdit* vin = nullptr;
    QLineEdit* makeModel = nullptr;
    QLineEdit* odometer = nullptr;
    QLineEdit* customer = nullptr;
    QLineEdit* technician = nullptr;
    QPlainTextEdit* notes = nullptr;
};

} // namespace kr90x
