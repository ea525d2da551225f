#pragma once

#include <QString>

// The records table's columns as the store's SQL names them, and the bounds it reads
// them with. Only for the store.
namespace kr90x::records::columns {

// The columns a record is written and read with, in this order.
inline const QString kVehicle =
    QStringLiteral("plate, vin, make_model, odometer, customer, technician, notes");
inline const QString kRecord =
    QStringLiteral("measured_at, test_function, function_name, unit, decimals, cylinder_1, "
                   "cylinder_2, cylinder_3, cylinder_4, cylinder_5, cylinder_6, sample_count, "
                   "samples, peak, last_value, firmware_version, program_version, ") +
    kVehicle;
inline constexpr int kCylinder = 5; // cylinder_1 in kRecord
inline constexpr int kSamples = 12;
inline constexpr int kVehicleFirst = 17;

// The most of a text the list holds per record: enough to show and search it. One record
// loaded whole gets more, still bounded: a file anyone may have written must not make
// the program copy whatever it holds.
inline constexpr int kMaxListText = 1000;
inline constexpr int kMaxRecordText = 65536;

// `columns` (as kRecord lists them) as a SELECT reads them with bounds: texts cut to
// `maxText` characters, samples longer than any blob decodeSamples takes read as NULL
// (damage), before anything is copied out of the database. Plain SQL both engines know.
QString bounded(const QString& columns, int maxText);

// "?, ?, …": `n` placeholders.
QString placeholders(int n);

} // namespace kr90x::records::columns
