#pragma once

#include "core/Cylinders.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kr90x::records {

// What the mechanic tells about the vehicle a measurement was taken on. Any Unicode.
struct VehicleDetails {
    QString plate;
    QString vin;
    QString makeModel;
    QString odometer; // as typed: "123 456 km", "98,000 mi"
    QString customer;
    QString technician;
    QString notes;

    bool isEmpty() const;
    bool operator==(const VehicleDetails&) const = default;
};

using RecordId = qint64;

// One completed result as the program showed it, with what is known around it. A
// compression holds six cylinder values; a curve holds its samples, scaled as plotted.
struct Measurement {
    QDateTime measuredAt; // kept to the millisecond, in UTC
    int function = -1;    // the place in the "Select function" list
    QString functionName; // that list's text, so a record reads the same in any version
    QString unit;         // "bar" or "mbar"
    int decimals = 1;     // how many decimals the values carry
    std::optional<CylinderValues> cylinders;
    std::vector<double> samples;
    std::int32_t firmwareVersion = 0;
    QString programVersion;
    VehicleDetails vehicle;
    bool virtualTester = false; // measured on the program's virtual tester, not a real one
    // Made where it was measured and kept with it: a save that is tried again (after a
    // busy database, from the outbox) never keeps it twice.
    QString uid;

    bool isCompression() const { return cylinders.has_value(); }
};

// Lowest and highest cylinder, the spread between them ((highest - lowest) / highest) and
// the cylinders that lie more than 10 % below the highest.
struct CompressionSpread {
    double lowest = 0;
    double highest = 0;
    std::optional<double> spreadPercent; // none when no cylinder holds any pressure
    std::vector<int> lowCylinders;       // 1-based
};
CompressionSpread compressionSpread(const CylinderValues& cylinders);

// A curve's figures for the list: its highest and its last sample.
struct CurveFigures {
    double peak = 0;
    double last = 0;
};
CurveFigures curveFigures(const std::vector<double>& samples);

} // namespace kr90x::records
