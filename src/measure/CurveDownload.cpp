#include "measure/CurveDownload.h"

#include "core/Log.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/Reply.h"

#include <cmath>

namespace kr90x {
namespace {

// FSI and TDI keep their samples scaled, as extended reals, and show what they keep; the
// other channels keep the tester's whole numbers.
bool keepsScaled(CurveChannel channel) {
    return channel == CurveChannel::Fsi || channel == CurveChannel::Tdi;
}

} // namespace

double shownValue(const TestFunction& f, std::int32_t raw) {
    if (keepsScaled(f.channel)) {
        return static_cast<double>(raw / static_cast<long double>(f.divisor));
    }
    return raw / f.divisor;
}

std::optional<Curve> curveFromValues(int function, std::span<const double> values) {
    const TestFunction* f = testFunction(function);
    if (!f || !f->isCurve()) {
        return std::nullopt;
    }
    Curve curve{function, std::vector<std::int32_t>(values.size()),
                std::vector<double>(values.begin(), values.end())};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double raw = std::round(values[i] * f->divisor);
        // A record holds what a reply could carry; anything beyond is damage, kept finite.
        curve.raw[i] =
            std::isfinite(raw) && std::abs(raw) < 1e9 ? static_cast<std::int32_t>(raw) : 0;
    }
    return curve;
}

CurveChannel CurveDownload::channel() const {
    return download_ ? download_->channel : CurveChannel::None;
}

std::uint32_t CurveDownload::lastSampleIndex() const {
    return download_ ? download_->last : 0;
}

std::int32_t CurveDownload::nextSampleIndex() const {
    return download_ ? download_->next : 0;
}

std::size_t CurveDownload::received() const {
    return download_ ? static_cast<std::size_t>(download_->next - 1) : 0;
}

bool CurveDownload::abandon() {
    const bool ran = download_.has_value();
    download_.reset();
    return ran;
}

CurveDownload::Outcome CurveDownload::countReply(CurveChannel channel, QStringView reply,
                                                 int function) {
    const TestFunction* f = testFunction(function);
    const Result<std::int32_t, FieldError> count = readReplyField(reply, 12, 5);
    if (!f || f->channel != channel || channel == CurveChannel::None || !count || *count < 0 ||
        *count > kMaxCount) {
        return Outcome::Refused;
    }
    if (download_) {
        log_.add(QStringLiteral("Curve download of %1 samples replaced by a new count after %2")
                     .arg(download_->last)
                     .arg(received()));
        download_.reset();
    }
    if (*count <= 1) {
        // A count of 1 would leave no sample to ask for.
        listener_.curveEmpty();
        return Outcome::Empty;
    }
    const auto last = static_cast<std::uint32_t>(*count - 1);
    download_ = Download{channel, f, last, 1, std::vector<std::int32_t>(last)};
    listener_.curveStarted();
    sender_.SendCommand(numberedCommand(curveCodes(channel).sample, 1), nullptr);
    return Outcome::Started;
}

CurveDownload::Outcome CurveDownload::sampleReply(CurveChannel channel, QStringView reply) {
    const Result<std::int32_t, FieldError> k = readReplyField(reply, 12, 5);
    if (!k) {
        return Outcome::Refused;
    }
    const Result<std::int32_t, FieldError> v = readReplyField(reply, 18, 4);
    if (!v || !download_ || channel != download_->channel || *k != download_->next) {
        return Outcome::Refused; // not the sample the download waits for, if one runs
    }
    Download& d = *download_;
    d.raw[static_cast<std::size_t>(*k - 1)] = *v;
    const auto number = static_cast<std::uint32_t>(*k);
    if (number < d.last) {
        d.next = *k + 1;
        sender_.SendCommand(
            numberedCommand(curveCodes(channel).sample, static_cast<unsigned>(d.next)), nullptr);
        log_.add(QString::number(d.last));
    }
    const int percent = static_cast<int>(std::ceil(number * 100.0 / d.last));
    if (percent > d.percent) {
        d.percent = percent;
        listener_.curveProgress(percent);
    }
    if (number < d.last) {
        return Outcome::Stored;
    }
    Curve curve{d.function->index, std::move(d.raw), {}};
    download_.reset();
    curve.values.reserve(curve.raw.size());
    const TestFunction& f = *testFunction(curve.function);
    for (std::int32_t raw : curve.raw) {
        curve.values.push_back(shownValue(f, raw));
    }
    listener_.curveCompleted(curve);
    return Outcome::Completed;
}

} // namespace kr90x
