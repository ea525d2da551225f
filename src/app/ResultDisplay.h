#pragma once

#include "measure/CompressionReply.h"
#include "measure/CurveDownload.h"
#include "measure/ReadStart.h"

#include <functional>

namespace kr90x {

struct AppState;
class ControlStates;
class DialogService;
class Log;
namespace charts {
class CompressionChart;
class PressureChart;
} // namespace charts
namespace reports {
class TRepProject;
}

// Shows each whole result: the bars or the curve, the compression report's cylinder
// texts, the program state and the controls. A result is shown all at once when it is
// whole, never piece by piece while it comes in, so whatever is refused on the way
// leaves the result on screen as it was.
class ResultDisplay : public CurveListener, public CurveChartView {
public:
    struct Parts {
        AppState& state;
        Log& log;
        ControlStates& controls;
        DialogService& dialogs;
        charts::CompressionChart& compressionChart;
        charts::PressureChart& curveChart;
        reports::TRepProject& compressionReport;
    };
    explicit ResultDisplay(Parts parts) : parts_(parts) {}

    // A compression reply: logged as sent, then shown when every cylinder is a number.
    void compressionReply(QStringView reply, Fuel fuel);

    // A result, whether just read or opened from the records.
    void showCompression(const CompressionResult& result);
    void showCurve(const Curve& curve);

    // Told of every result a reply completed, after it is shown.
    std::function<void(const CompressionResult&)> onCompression;
    std::function<void(const Curve&)> onCurve;

    // CurveListener
    void curveStarted() override;
    void curveProgress(int percent) override;
    void curveCompleted(const Curve& curve) override;
    void curveEmpty() override;

    // CurveChartView
    void setCurveScale(const TestFunction& f) override;
    void clearCurves() override;

private:
    void keepSamples(const TestFunction& f, const Curve& curve);

    Parts parts_;
};

} // namespace kr90x
