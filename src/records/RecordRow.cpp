#include "records/RecordRow.h"

#include "records/RecordColumns.h"
#include "records/SampleBlob.h"
#include "records/SearchText.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace kr90x::records {
namespace {

QVariant nullOf(QMetaType type) {
    return QVariant(type);
}

} // namespace

QString storedText(const QString& s) {
    if (s.isNull()) {
        return QStringLiteral("");
    }
    if (!s.contains(QChar(0))) {
        return s;
    }
    QString kept = s;
    return kept.replace(QChar(0), QChar::ReplacementCharacter);
}

void bindRecord(QSqlQuery& q, const Measurement& m) {
    const QVariant noDouble = nullOf(QMetaType::fromType<double>());
    q.addBindValue(m.measuredAt.toMSecsSinceEpoch());
    q.addBindValue(m.function);
    q.addBindValue(storedText(m.functionName));
    q.addBindValue(storedText(m.unit));
    q.addBindValue(m.decimals);
    for (std::size_t n = 0; n < kCylinders; ++n) {
        q.addBindValue(m.cylinders ? QVariant((*m.cylinders)[n]) : noDouble);
    }
    const CurveFigures figures = curveFigures(m.samples);
    q.addBindValue(m.cylinders ? nullOf(QMetaType::fromType<int>())
                               : QVariant(static_cast<int>(m.samples.size())));
    q.addBindValue(m.cylinders ? noDouble : QVariant(figures.peak));
    q.addBindValue(m.cylinders ? noDouble : QVariant(figures.last));
    q.addBindValue(m.firmwareVersion);
    q.addBindValue(storedText(m.programVersion));
    for (const VehicleField& f : kVehicleFields) {
        q.addBindValue(storedText(m.vehicle.*f.member));
    }
    q.addBindValue(m.virtualTester ? 1 : 0);
    q.addBindValue(m.uid.isEmpty() ? nullOf(QMetaType::fromType<QString>()) : QVariant(m.uid));
    q.addBindValue(
        storedText(searchText(m.measuredAt, m.functionName, m.vehicle, m.virtualTester)));
}

Measurement measurementAt(const QSqlQuery& q, int offset) {
    auto value = [&](Col c) { return q.value(offset + at(c)); };
    Measurement m;
    m.measuredAt = QDateTime::fromMSecsSinceEpoch(value(Col::MeasuredAt).toLongLong(), Qt::UTC);
    m.function = value(Col::TestFunction).toInt();
    m.functionName = value(Col::FunctionName).toString();
    m.unit = value(Col::Unit).toString();
    // A decimals count out of range is damage that must not reach the formatting.
    m.decimals = std::clamp(value(Col::Decimals).toInt(), 0, kMaxDecimals);
    if (!value(Col::Cylinder1).isNull()) {
        CylinderValues cylinders{};
        for (std::size_t n = 0; n < kCylinders; ++n) {
            cylinders[n] = q.value(offset + at(Col::Cylinder1) + static_cast<int>(n)).toDouble();
        }
        m.cylinders = cylinders;
    }
    m.firmwareVersion = value(Col::FirmwareVersion).toInt();
    m.programVersion = value(Col::ProgramVersion).toString();
    for (const VehicleField& f : kVehicleFields) {
        m.vehicle.*f.member = value(f.col).toString();
    }
    m.virtualTester = value(Col::VirtualTester).toInt() != 0;
    m.uid = value(Col::Uid).toString();
    return m;
}

} // namespace kr90x::records
