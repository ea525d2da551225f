#pragma once

#include "core/NumberFormat.h"
#include "records/Measurement.h"

#include <QString>

#include <utility>
#include <vector>

namespace kr90x {

// The report parameters a record adds (reports/Templates.h names them), with their texts
// for `m`: when it was measured, each vehicle detail with its label or empty when not
// given, and for a compression the spread line.
std::vector<std::pair<QString, QString>> recordReportParams(const records::Measurement& m,
                                                            const FormatSettings& format);

// "Spread: 24,6 %", followed by "   Low: cylinder 3" or "   Low: cylinders 3, 6" when
// cylinders lie more than 10 % below the highest.
QString spreadLine(const CylinderValues& cylinders, const FormatSettings& format);

// "Grey curve: measured 2024-05-03 14:22, AB-123": the stored curve drawn for comparison.
QString comparisonLine(const records::Measurement& compared);

} // namespace kr90x
