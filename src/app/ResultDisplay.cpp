#include "app/ResultDisplay.h"

#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "core/NumberFormat.h"
#include "reports/TRepProject.h"

namespace kr90x {

void ResultDisplay::compressionReply(QStringView reply, Fuel fuel) {
    for (const QString& line : compressionLogLines(reply, fuel)) {
        parts_.log.add(line);
    }
    // A cylinder that is no number refuses the whole reply, silently: the bars, the
    // report and the values of the last result stay as they were.
    const Result<CompressionResult, FieldError> result = parseCompression(reply, fuel);
    if (!result) {
        return;
    }
    showCompression(*result);
    if (onCompression) {
        onCompression(*result);
    }
}

void ResultDisplay::showCompression(const CompressionResult& result) {
    const bool petrol = result.fuel == Fuel::Petrol;
    (petrol ? parts_.state.PetrolValues : parts_.state.DieselValues) = result.bar;

    charts::CompressionChart& chart = parts_.compressionChart;
    chart.Series1.Clear();
    chart.resetView(); // a new result starts unscrolled, as a new curve does
    // Cylinder 6 first, so that cylinder 1 ends up on top.
    for (std::size_t n = kCylinders; n >= 1; --n) {
        chart.Series1.AddBar(result.bar[n - 1], QStringLiteral("Cyl # %1").arg(n));
    }
    chart.setTitle(petrol ? QStringLiteral("Petrol Compression")
                          : QStringLiteral("Diesel Compression"));
    for (std::size_t n = 1; n <= kCylinders; ++n) {
        parts_.compressionReport.SetParam(QStringLiteral("Cilindro_%1").arg(n),
                                          formatText(kCylinderFormat,
                                                     {static_cast<unsigned>(n), result.bar[n - 1]},
                                                     parts_.state.Format));
    }
    parts_.controls.compressionShown();
    parts_.state.CompletedFunction = compressionFunction(result.fuel).index;
}

void ResultDisplay::keepSamples(const TestFunction& f, const Curve& curve) {
    AppState& s = parts_.state;
    switch (f.channel) {
    case CurveChannel::HighPressure:
        s.HighPressureSamples = curve.raw;
        break;
    case CurveChannel::Turbo:
        s.TurboSamples = curve.raw;
        break;
    case CurveChannel::Fsi:
    case CurveChannel::Tdi: {
        std::vector<long double>& kept =
            f.channel == CurveChannel::Fsi ? s.FsiSamples : s.TdiSamples;
        kept.resize(curve.raw.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            kept[i] = curve.raw[i] / static_cast<long double>(f.divisor);
        }
        break;
    }
    case CurveChannel::None:
        break;
    }
}

void ResultDisplay::showCurve(const Curve& curve) {
    const TestFunction* f = testFunction(curve.function);
    if (!f || !f->isCurve()) {
        return;
    }
    keepSamples(*f, curve);
    charts::PressureChart& chart = parts_.curveChart;
    // The scale and title of the curve's own function: another read may have been started
    // (and refused) while this one came in.
    setCurveScale(*f);
    chart.Comparison.Clear(); // it was drawn over another curve
    chart.Series2.setY(curve.values);
    if (f->band) {
        chart.Series3.setY(std::vector<double>(curve.values.size(), *f->band));
    } else {
        chart.Series3.Clear();
    }
    parts_.controls.curveFinished(f->hasReport());
    parts_.state.CompletedFunction = curve.function;
}

void ResultDisplay::curveStarted() {
    parts_.controls.curveStarted();
}

void ResultDisplay::curveProgress(int percent) {
    parts_.controls.curveProgress(percent);
}

void ResultDisplay::curveCompleted(const Curve& curve) {
    showCurve(curve);
    if (onCurve) {
        onCurve(curve);
    }
}

void ResultDisplay::curveEmpty() {
    parts_.dialogs.information(QStringLiteral("No data available !"));
}

void ResultDisplay::setCurveScale(const TestFunction& f) {
    parts_.curveChart.setLeftAxisMinimum(0);
    parts_.curveChart.setLeftAxisMaximum(f.axisMaximum);
    parts_.curveChart.setTitle(QString::fromLatin1(f.chartTitle));
}

void ResultDisplay::clearCurves() {
    parts_.curveChart.Series2.Clear();
    parts_.curveChart.Series3.Clear();
    parts_.curveChart.Comparison.Clear();
}

} // namespace kr90x
