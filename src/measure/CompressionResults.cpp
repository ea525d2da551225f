#include "measure/CompressionResults.h"

#include "charts/CompressionChart.h"
#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/Log.h"
#include "core/NumberFormat.h"
#include "protocol/Reply.h"

namespace kr90x {
namespace {
// Cylinder n's field: four characters from 1-based position 5n + 7.
int fieldPosition(int cylinder) {
    return 5 * cylinder + 7;
}
} // namespace

void CompressionResults::setCylinderText(int cylinder, double value) {
    if (setReportParam_) {
        setReportParam_(
            QStringLiteral("Cilindro_%1").arg(cylinder),
            formatText(kCylinderFormat, {static_cast<unsigned>(cylinder), value}, state_.Format));
    }
}

void CompressionResults::handle(const QString& reply, Fuel fuel) {
    const bool petrol = fuel == Fuel::Petrol;
    const QString header =
        petrol ? QStringLiteral("Petrol compression") : QStringLiteral("Diesel compression");
    log_.add(QStringLiteral(" "));
    log_.add(header);
    log_.add(QStringLiteral(" "));
    for (int n = 1; n <= 6; ++n) {
        // The characters as the tester sent them, leading zeros and spaces included.
        const QString field = reply.mid(fieldPosition(n) - 1, 4);
        log_.add(QStringLiteral("Cylinder n\u00BA %1..: ").arg(n) + field.left(3) +
                 QLatin1Char(',') + field.mid(3, 1) + QStringLiteral(" Bar"));
    }
    if (petrol) {
        log_.add(QStringLiteral(" "));
    }

    startChart(fuel);
    std::array<double, 6>& values = petrol ? state_.PetrolValues : state_.DieselValues;
    for (int n = 1; n <= 6; ++n) {
        values[static_cast<std::size_t>(n - 1)] = ReplyField(reply, fieldPosition(n), 4) / 10.0;
        if (petrol) {
            setCylinderText(n, values[static_cast<std::size_t>(n - 1)]);
        }
    }
    finishChart(fuel);
    if (onResult) {
        onResult();
    }
}

void CompressionResults::show(Fuel fuel, const std::array<double, 6>& values) {
    startChart(fuel);
    const bool petrol = fuel == Fuel::Petrol;
    (petrol ? state_.PetrolValues : state_.DieselValues) = values;
    for (int n = 1; petrol && n <= 6; ++n) {
        setCylinderText(n, values[static_cast<std::size_t>(n - 1)]);
    }
    finishChart(fuel);
}

void CompressionResults::startChart(Fuel fuel) {
    chart_.Series1.Clear();
    chart_.resetView(); // a new result starts unscrolled, as a new curve does
    chart_.clearTitle();
    chart_.setTitle(fuel == Fuel::Petrol ? QStringLiteral("Petrol compression")
                                         : QStringLiteral("Diesel compression"));
}

void CompressionResults::finishChart(Fuel fuel) {
    const bool petrol = fuel == Fuel::Petrol;
    const std::array<double, 6>& values = petrol ? state_.PetrolValues : state_.DieselValues;
    // Cylinder 6 first, so that cylinder 1 ends up on top.
    for (int n = 6; n >= 1; --n) {
        chart_.Series1.AddBar(values[static_cast<std::size_t>(n - 1)],
                              QStringLiteral("Cyl # %1").arg(n));
        if (!petrol) {
            setCylinderText(n, values[static_cast<std::size_t>(n - 1)]);
        }
    }
    chart_.setTitle(petrol ? QStringLiteral("Petrol Compression")
                           : QStringLiteral("Diesel Compression"));
    controls_.compressionShown();
    state_.CompletedFunction = petrol ? 0 : 1;
}

} // namespace kr90x
