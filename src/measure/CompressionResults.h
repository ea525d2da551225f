#pragma once

#include <QString>

#include <functional>

namespace kr90x {

struct AppState;
class ControlStates;
class Log;
namespace charts {
class CompressionChart;
}

// A petrol or diesel compression result: six cylinders in one reply, logged as sent,
// kept in bar, turned into the compression report's cylinder texts and shown as bars.
class CompressionResults {
public:
    enum class Fuel { Petrol, Diesel };
    using SetReportParam = std::function<void(const QString& name, const QString& text)>;

    CompressionResults(AppState& state, Log& log, ControlStates& controls,
                       charts::CompressionChart& chart, SetReportParam setReportParam)
        : state_(state), log_(log), controls_(controls), chart_(chart),
          setReportParam_(std::move(setReportParam)) {}

    void handle(const QString& reply, Fuel fuel);

private:
    void setCylinderText(int cylinder, double value);

    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    charts::CompressionChart& chart_;
    SetReportParam setReportParam_;
};

} // namespace kr90x
