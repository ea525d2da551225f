#pragma once

#include "records/Measurement.h"

#include <QUuid>

#include <cstddef>

namespace kr90x::bench {

// A high-pressure curve of `samples` samples as the program keeps one, with a uid of its
// own: what the records benches save.
inline records::Measurement highPressureCurve(std::size_t samples) {
    records::Measurement m;
    m.measuredAt = QDateTime::currentDateTimeUtc();
    m.function = 2;
    m.functionName = QStringLiteral("High pressure");
    m.unit = QStringLiteral("bar");
    m.decimals = 1;
    for (std::size_t i = 0; i < samples; ++i) {
        m.samples.push_back(static_cast<double>(1000 + (i * 7) % 900) / 10.0);
    }
    m.programVersion = QStringLiteral("1.04");
    m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m;
}

} // namespace kr90x::bench
