#include "measure/CurveDownload.h"

#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/Reply.h"

#include <cmath>
#include <type_traits>

namespace kr90x {
namespace {

// The count field has five characters: no tester holds more samples than that.
constexpr std::int32_t kMaxCount = 99999;

} // namespace

CurveDownload::SampleArray CurveDownload::samplesOf(CurveChannel channel) {
    switch (channel) {
    case CurveChannel::Turbo:
        return &state_.TurboSamples;
    case CurveChannel::Fsi:
        return &state_.FsiSamples;
    case CurveChannel::Tdi:
        return &state_.TdiSamples;
    case CurveChannel::HighPressure:
    case CurveChannel::None:
        break;
    }
    return &state_.HighPressureSamples;
}

int CurveDownload::functionFor(CurveChannel channel) const {
    // The function the read was started for; failing that (a reply nobody asked for) the
    // selection, or the channel's first function.
    for (int candidate : {state_.ReadFunction, selectedFunction_ ? selectedFunction_() : -1}) {
        if (const TestFunction* f = testFunction(candidate); f && f->channel == channel) {
            return candidate;
        }
    }
    for (const TestFunction& f : testFunctions()) {
        if (f.channel == channel) {
            return f.index;
        }
    }
    return -1;
}

void CurveDownload::resizeSamples(CurveChannel channel, std::size_t count) {
    std::visit([count](auto* samples) { samples->assign(count, 0); }, samplesOf(channel));
}

void CurveDownload::countReply(CurveChannel channel, const QString& reply) {
    const std::int32_t count = ReplyField(reply, 12, 5);
    if (count < 0 || count > kMaxCount) {
        return; // not a count a tester can hold
    }
    if (count <= 1) {
        // A count of 1 would leave no sample to ask for.
        dialogs_.information(QStringLiteral("No data available !"));
        return;
    }
    resizeSamples(channel, static_cast<std::size_t>(count - 1));
    state_.LastSampleIndex = static_cast<std::uint32_t>(count - 1);
    state_.NextSampleIndex = 1;
    active_ = channel;
    function_ = functionFor(channel);
    chart_.Series2.reserve(static_cast<std::size_t>(count - 1));
    if (const TestFunction* f = testFunction(function_); f && f->band) {
        chart_.Series3.reserve(static_cast<std::size_t>(count - 1));
    }
    controls_.curveStarted();
    sender_.SendCommand(numberedCommand(curveCodes(channel).sample, 1), nullptr);
}

void CurveDownload::sampleReply(CurveChannel channel, const QString& reply) {
    const std::int32_t k = ReplyField(reply, 12, 5);
    const std::int32_t v = ReplyField(reply, 18, 4);
    const std::uint32_t last = state_.LastSampleIndex;
    if (channel != active_ || k < 1 || static_cast<std::uint32_t>(k) > last) {
        return; // no place for it in the download that runs, if one does
    }
    const TestFunction* f = testFunction(function_);
    if (!f) {
        return;
    }
    const auto at = static_cast<std::size_t>(k - 1);
    // Whole-number channels keep the raw value; FSI and TDI keep it scaled, as extended
    // reals, and the plot shows what is kept.
    const double plotted = std::visit(
        [&](auto* samples) -> double {
            using Sample = typename std::remove_pointer_t<decltype(samples)>::value_type;
            if constexpr (std::is_integral_v<Sample>) {
                (*samples)[at] = v;
                return v / f->divisor;
            } else {
                (*samples)[at] = v / static_cast<Sample>(f->divisor);
                return static_cast<double>((*samples)[at]);
            }
        },
        samplesOf(channel));
    chart_.Series2.AddY(plotted);
    if (f->band) {
        chart_.Series3.AddY(*f->band);
    }

    if (static_cast<std::uint32_t>(k) < last) {
        state_.NextSampleIndex = k + 1;
        sender_.SendCommand(numberedCommand(curveCodes(channel).sample,
                                            static_cast<unsigned>(state_.NextSampleIndex)),
                            nullptr);
        log_.add(QString::number(last));
    }
    controls_.curveProgress(static_cast<int>(std::ceil(k * 100.0 / last)));
    if (static_cast<std::uint32_t>(k) == last) {
        controls_.curveFinished(f->hasReport());
        state_.CompletedFunction = function_;
        active_ = CurveChannel::None;
        if (onResult) {
            onResult();
        }
    }
}

void CurveDownload::showCurve(int function, std::span<const double> values) {
    const TestFunction* f = testFunction(function);
    if (!f || f->channel == CurveChannel::None) {
        return;
    }
    abandon();
    resizeSamples(f->channel, values.size());
    std::visit(
        [&](auto* samples) {
            using Sample = typename std::remove_pointer_t<decltype(samples)>::value_type;
            for (std::size_t i = 0; i < values.size(); ++i) {
                // Whole-number channels keep the tester's raw value, as a download does.
                if constexpr (std::is_integral_v<Sample>) {
                    (*samples)[i] = static_cast<Sample>(std::lround(values[i] * f->divisor));
                } else {
                    (*samples)[i] = values[i];
                }
            }
        },
        samplesOf(f->channel));
    chart_.Series2.reserve(values.size());
    for (double v : values) {
        chart_.Series2.AddY(v);
        if (f->band) {
            chart_.Series3.AddY(*f->band);
        }
    }
    state_.LastSampleIndex = static_cast<std::uint32_t>(values.size());
    controls_.curveFinished(f->hasReport());
    state_.CompletedFunction = function;
}

} // namespace kr90x
