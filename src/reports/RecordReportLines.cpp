#include "reports/RecordReportLines.h"

#include "records/RecordsModel.h"
#include "reports/Templates.h"

#include <QStringList>

namespace kr90x {

QString spreadLine(const CylinderValues& cylinders, const FormatSettings& format) {
    const records::CompressionSpread s = records::compressionSpread(cylinders);
    if (!s.spreadPercent) {
        return QStringLiteral("Spread: -"); // no pressure in any cylinder
    }
    QString line = formatText(u"Spread: %.1f %%", {*s.spreadPercent}, format);
    if (!s.lowCylinders.empty()) {
        QStringList numbers;
        for (int n : s.lowCylinders) {
            numbers << QString::number(n);
        }
        line += (s.lowCylinders.size() == 1 ? QStringLiteral("   Low: cylinder ")
                                            : QStringLiteral("   Low: cylinders ")) +
                numbers.join(QStringLiteral(", "));
    }
    return line;
}

namespace {

// As the records list shows it, to the second: the grey curve's caption names one record.
QString measuredText(const records::Measurement& m) {
    return records::RecordsModel::dateText(m.measuredAt);
}

} // namespace

QString comparisonLine(const records::Measurement& compared) {
    QString line = QStringLiteral("Grey curve: measured ") + measuredText(compared);
    if (!compared.vehicle.plate.isEmpty()) {
        line += QStringLiteral(", ") + compared.vehicle.plate;
    }
    return line;
}

std::vector<std::pair<QString, QString>> recordReportParams(const records::Measurement& m,
                                                            const FormatSettings& format) {
    const records::VehicleDetails& v = m.vehicle;
    // In the order of reports::kVehicleParams.
    const std::pair<const char*, const QString*> vehicle[] = {{"Plate: ", &v.plate},
                                                              {"Customer: ", &v.customer},
                                                              {"Make and model: ", &v.makeModel},
                                                              {"Technician: ", &v.technician},
                                                              {"VIN: ", &v.vin},
                                                              {"Odometer: ", &v.odometer},
                                                              {"Notes: ", &v.notes}};
    static_assert(std::size(vehicle) == std::size(reports::kVehicleParams));

    std::vector<std::pair<QString, QString>> params;
    params.emplace_back(
        QString::fromLatin1(reports::kMeasuredAtParam),
        QStringLiteral("Measured: ") + measuredText(m) +
            (m.virtualTester ? QStringLiteral(" on the virtual tester") : QString()));
    for (std::size_t i = 0; i < std::size(vehicle); ++i) {
        const QString& value = *vehicle[i].second;
        params.emplace_back(QString::fromLatin1(reports::kVehicleParams[i]),
                            value.isEmpty() ? QString()
                                            : QString::fromLatin1(vehicle[i].first) + value);
    }
    if (m.cylinders) {
        params.emplace_back(QString::fromLatin1(reports::kSpreadParam),
                            spreadLine(*m.cylinders, format));
    }
    return params;
}

} // namespace kr90x
