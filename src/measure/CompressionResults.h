#pragma once

#include <QString>

#include <array>
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
    // A result that comes from the records: shown, kept and put into the report exactly
    // as a reply with these values would, without the log lines of a reply.
    void show(Fuel fuel, const std::array<double, 6>& values);

    // Told of every result a reply completed.
    std::function<void()> onResult;

private:
    void setCylinderText(int cylinder, double value);
    void startChart(Fuel fuel);
    void finishChart(Fuel fuel);

    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    charts::CompressionChart& chart_;
    SetReportParam setReportParam_;
};

} // namespace kr90x
