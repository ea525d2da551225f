#include "VehicleOption.h"

#include "records/RecordColumns.h"

#include <QStringList>

#include <array>

namespace kr90x::cli {
namespace {

// The vehicle details a script may give, by the key it gives them with.
struct VehicleKey {
    const char* key;
    records::Col col;
};
constexpr std::array<VehicleKey, 7> kVehicleKeys{{
    {"plate", records::Col::Plate},
    {"vin", records::Col::Vin},
    {"make-model", records::Col::MakeModel},
    {"odometer", records::Col::Odometer},
    {"customer", records::Col::Customer},
    {"technician", records::Col::Technician},
    {"notes", records::Col::Notes},
}};
static_assert(kVehicleKeys.size() == records::kVehicleFields.size());

} // namespace

CliResult<Done> setVehicleDetail(records::VehicleDetails& vehicle, const QString& assignment) {
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    const QString key = assignment.left(eq);
    const QString value = eq < 0 ? QString() : assignment.mid(eq + 1);
    for (const VehicleKey& k : kVehicleKeys) {
        if (eq < 0 || key != QLatin1String(k.key)) {
            continue;
        }
        for (const records::VehicleField& field : records::kVehicleFields) {
            if (field.col != k.col) {
                continue;
            }
            if (value.size() > field.maxLength) {
                return cliFail(Exit::Usage, QStringLiteral("--vehicle %1: at most %2 characters")
                                                .arg(key)
                                                .arg(field.maxLength));
            }
            for (QChar c : value) {
                if (c.category() == QChar::Other_Control) {
                    return cliFail(
                        Exit::Usage,
                        QStringLiteral("--vehicle %1: control characters are not taken").arg(key));
                }
            }
            vehicle.*field.member = value;
            return Done{};
        }
    }
    QStringList keys;
    for (const VehicleKey& k : kVehicleKeys) {
        keys << QString::fromLatin1(k.key);
    }
    return cliFail(Exit::Usage, QStringLiteral("--vehicle takes KEY=VALUE, KEY one of %1")
                                    .arg(keys.join(QStringLiteral(", "))));
}

} // namespace kr90x::cli
