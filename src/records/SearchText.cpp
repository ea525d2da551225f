#include "records/SearchText.h"

namespace kr90x::records {

QString recordDateText(const QDateTime& utc) {
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString searchText(const QDateTime& measuredAt, const QString& functionName,
                   const VehicleDetails& v, bool virtualTester) {
    QStringList parts{recordDateText(measuredAt),
                      functionName,
                      v.plate,
                      v.vin,
                      v.makeModel,
                      v.odometer,
                      v.customer,
                      v.technician,
                      v.notes};
    if (virtualTester) {
        parts << QStringLiteral("virtual");
    }
    return parts.join(QLatin1Char('\n')).toCaseFolded();
}

QStringList searchWords(const QString& typed) {
    return typed.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString containsPattern(const QString& word) {
    QString escaped = word;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace kr90x::records
