#include "records/RecordColumns.h"

#include "records/SampleBlob.h"

#include <QStringList>

namespace kr90x::records::columns {

QString bounded(const QString& columns, int maxText) {
    static const QStringList texts =
        QStringLiteral("function_name unit program_version plate vin make_model odometer "
                       "customer technician notes")
            .split(QLatin1Char(' '));
    QStringList out;
    for (const QString& c : columns.split(QStringLiteral(", "))) {
        if (c == QLatin1String("samples")) {
            out << QStringLiteral("CASE WHEN length(samples) <= %1 THEN samples END")
                       .arg(kMaxSampleBlobBytes);
        } else if (texts.contains(c)) {
            out << QStringLiteral("substr(%1, 1, %2)").arg(c).arg(maxText);
        } else {
            out << c;
        }
    }
    return out.join(QStringLiteral(", "));
}

QString placeholders(int n) {
    QStringList marks;
    for (int i = 0; i < n; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

} // namespace kr90x::records::columns
