#pragma once

#include "core/Cylinders.h"
#include "core/Result.h"
#include "measure/TestFunctions.h"
#include "protocol/Reply.h"

#include <QStringList>
#include <QStringView>

namespace kr90x {

// A petrol or diesel compression result, whole: every cylinder in bar.
struct CompressionResult {
    Fuel fuel = Fuel::Petrol;
    CylinderValues bar{};

    bool operator==(const CompressionResult&) const = default;
};

// Cylinder n's field (1-based) in a compression reply: four characters of tenths of a bar.
inline constexpr int compressionFieldPosition(int cylinder) {
    return 5 * cylinder + 7;
}
inline constexpr int kCompressionFieldWidth = 4;

// Every cylinder of a compression reply, or the first field that is no number: a reply
// is taken whole or not at all.
Result<CompressionResult, FieldError> parseCompression(QStringView reply, Fuel fuel);

// The log lines of a compression reply, made from its characters as the tester sent them
// (leading zeros and spaces included), whether or not they are numbers.
QStringList compressionLogLines(QStringView reply, Fuel fuel);

} // namespace kr90x
