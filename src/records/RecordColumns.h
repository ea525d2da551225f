#pragma once

#include "records/Measurement.h"

#include <QString>

#include <array>

// The records table's columns: the one place they are named, in the order the store writes
// and reads them, with the bounds it reads them with. Samples are not among them: they
// live in a table of their own, so that listing records never reads past them.
namespace kr90x::records {

enum class Col : int {
    MeasuredAt,
    TestFunction,
    FunctionName,
    Unit,
    Decimals,
    Cylinder1,
    Cylinder2,
    Cylinder3,
    Cylinder4,
    Cylinder5,
    Cylinder6,
    SampleCount,
    Peak,
    LastValue,
    FirmwareVersion,
    ProgramVersion,
    Plate,
    Vin,
    MakeModel,
    Odometer,
    Customer,
    Technician,
    Notes,
    VirtualTester,
    Uid,
    SearchText,
    Count
};

inline constexpr int kColumnCount = static_cast<int>(Col::Count);
// The columns a record is read back with: all but the search text.
inline constexpr int kReadColumnCount = static_cast<int>(Col::Uid) + 1;
constexpr int at(Col c) {
    return static_cast<int>(c);
}

struct ColumnSpec {
    Col col;
    const char* name;
    bool text; // read with a bound on its length
};

inline constexpr std::array<ColumnSpec, kColumnCount> kColumns{{
    {Col::MeasuredAt, "measured_at", false},
    {Col::TestFunction, "test_function", false},
    {Col::FunctionName, "function_name", true},
    {Col::Unit, "unit", true},
    {Col::Decimals, "decimals", false},
    {Col::Cylinder1, "cylinder_1", false},
    {Col::Cylinder2, "cylinder_2", false},
    {Col::Cylinder3, "cylinder_3", false},
    {Col::Cylinder4, "cylinder_4", false},
    {Col::Cylinder5, "cylinder_5", false},
    {Col::Cylinder6, "cylinder_6", false},
    {Col::SampleCount, "sample_count", false},
    {Col::Peak, "peak", false},
    {Col::LastValue, "last_value", false},
    {Col::FirmwareVersion, "firmware_version", false},
    {Col::ProgramVersion, "program_version", true},
    {Col::Plate, "plate", true},
    {Col::Vin, "vin", true},
    {Col::MakeModel, "make_model", true},
    {Col::Odometer, "odometer", true},
    {Col::Customer, "customer", true},
    {Col::Technician, "technician", true},
    {Col::Notes, "notes", true},
    {Col::VirtualTester, "virtual_tester", false},
    {Col::Uid, "uid", true},
    // What the list's search looks through, case-folded where it was written (SQL's own
    // folding knows ASCII only).
    {Col::SearchText, "search_text", true},
}};

constexpr bool columnsInOrder() {
    for (int i = 0; i < kColumnCount; ++i) {
        if (at(kColumns[static_cast<std::size_t>(i)].col) != i) {
            return false;
        }
    }
    return true;
}
static_assert(columnsInOrder());
static_assert(at(Col::Cylinder6) - at(Col::Cylinder1) + 1 == static_cast<int>(kCylinders));

// The vehicle's details: their column, their field, what the mechanic calls them, and the
// most characters each may hold. A longer text is refused where it is typed.
struct VehicleField {
    Col col;
    QString VehicleDetails::*member;
    const char* label;
    int maxLength;
};

inline constexpr std::array<VehicleField, 7> kVehicleFields{{
    {Col::Plate, &VehicleDetails::plate, "Registration plate", 20},
    {Col::Vin, &VehicleDetails::vin, "VIN", 20},
    {Col::MakeModel, &VehicleDetails::makeModel, "Make and model", 80},
    {Col::Odometer, &VehicleDetails::odometer, "Odometer", 20},
    {Col::Customer, &VehicleDetails::customer, "Customer", 80},
    {Col::Technician, &VehicleDetails::technician, "Technician", 80},
    {Col::Notes, &VehicleDetails::notes, "Notes", 4000},
}};
static_assert(at(Col::Notes) - at(Col::Plate) + 1 == int(kVehicleFields.size()));

namespace columns {

// The most of a text the list holds per record: enough to show and search it. One record
// loaded whole gets all a typed text may have and more, still bounded: a file anyone may
// have written must not make the program copy whatever it holds.
inline constexpr int kMaxListText = 1000;
inline constexpr int kMaxRecordText = 65536;

// The names of the columns from `first` to `last`, joined by ", ".
QString names(Col first = Col::MeasuredAt, Col last = Col::SearchText);
// The columns a record is read with, for a SELECT: texts cut to `maxText` characters
// before anything is copied out of the database. Plain SQL both engines know.
QString bounded(int maxText, Col first = Col::MeasuredAt, Col last = Col::Uid);
// A curve's samples for a SELECT: a blob longer than any decodeSamples takes reads as
// NULL (damage), before it is copied.
QString boundedSamples();

// "?, ?, …": `n` placeholders.
QString placeholders(int n);

} // namespace columns
} // namespace kr90x::records
