#include "records/RecordColumns.h"

#include "records/SampleBlob.h"

#include <QStringList>

namespace kr90x::records::columns {

QString names(Col first, Col last) {
    QStringList out;
    for (int i = at(first); i <= at(last); ++i) {
        out << QLatin1String(kColumns[static_cast<std::size_t>(i)].name);
    }
    return out.join(QStringLiteral(", "));
}

QString bounded(int maxText, Col first, Col last) {
    QStringList out;
    for (int i = at(first); i <= at(last); ++i) {
        const ColumnSpec& c = kColumns[static_cast<std::size_t>(i)];
        out << (c.text ? QStringLiteral("substr(%1, 1, %2)").arg(QLatin1String(c.name)).arg(maxText)
                       : QLatin1String(c.name));
    }
    return out.join(QStringLiteral(", "));
}

QString boundedSamples() {
    return QStringLiteral("CASE WHEN length(samples) <= %1 THEN samples END")
        .arg(kMaxSampleBlobBytes);
}

QString placeholders(int n) {
    QStringList marks;
    for (int i = 0; i < n; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

} // namespace kr90x::records::columns
