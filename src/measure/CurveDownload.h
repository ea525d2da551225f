#pragma once

#include "measure/TestFunctions.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <variant>
#include <vector>

namespace kr90x {

struct AppState;
class CommandSender;
class ControlStates;
class DialogService;
class Log;
namespace charts {
class PressureChart;
}

// Downloads a pressure curve one sample at a time: the count reply sizes the channel's
// samples and asks for sample 1; each sample reply is stored, plotted, and asks for the
// next, until the last one shows the chart.
class CurveDownload {
public:
    CurveDownload(AppState& state, Log& log, ControlStates& controls, DialogService& dialogs,
                  CommandSender& sender, charts::PressureChart& chart,
                  std::function<int()> selectedFunction)
        : state_(state), log_(log), controls_(controls), dialogs_(dialogs), sender_(sender),
          chart_(chart), selectedFunction_(std::move(selectedFunction)) {}

    void countReply(CurveChannel channel, const QString& reply);
    void sampleReply(CurveChannel channel, const QString& reply);

    // The channel whose download runs, None when none does.
    CurveChannel activeChannel() const { return active_; }

    // Stops waiting for the download that runs: its later samples find no place.
    void abandon() { active_ = CurveChannel::None; }
    // A curve that comes from the records, values as plotted: kept, plotted and completed
    // as the last sample of a download of `function` would leave it. Ends any download.
    void showCurve(int function, std::span<const double> values);

    // Told of every curve a download completed.
    std::function<void()> onResult;

private:
    // A channel's samples: whole numbers for high pressure and turbo, extended reals for
    // FSI and TDI.
    using SampleArray = std::variant<std::vector<std::int32_t>*, std::vector<long double>*>;
    SampleArray samplesOf(CurveChannel channel);
    int functionFor(CurveChannel channel) const;
    void resizeSamples(CurveChannel channel, std::size_t count);

    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    DialogService& dialogs_;
    CommandSender& sender_;
    charts::PressureChart& chart_;
    std::function<int()> selectedFunction_;
    CurveChannel active_ = CurveChannel::None;
    int function_ = -1; // the test function the running download is scaled for
};

} // namespace kr90x
