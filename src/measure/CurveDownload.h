#pragma once

#include "measure/TestFunctions.h"

#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kr90x {

class CommandSender;
class Log;

// A finished curve: every sample the tester held, in order.
struct Curve {
    int function = -1;             // the test function it was read for
    std::vector<std::int32_t> raw; // as the tester sent them
    std::vector<double> values;    // as shown: scaled for the function
};

// A sample as shown for a function.
double shownValue(const TestFunction& f, std::int32_t raw);
// A curve whose values were shown before (kept in the records); none for a function that
// has no curve.
std::optional<Curve> curveFromValues(int function, std::span<const double> values);

// Told what a download came to. Called after the download's own state has changed, so a
// box opened here sees the download as it now is.
class CurveListener {
public:
    virtual ~CurveListener() = default;
    virtual void curveStarted() = 0;
    // The share of the samples received, raised a whole percent at a time.
    virtual void curveProgress(int percent) = 0;
    virtual void curveCompleted(const Curve& curve) = 0;
    // The tester holds no samples for the curve asked for.
    virtual void curveEmpty() = 0;
};

// Downloads a pressure curve one sample at a time: a count reply starts a download and
// asks for sample 1; each sample reply is kept and asks for the next, until the last one
// completes the curve.
//
// One download at a time, and a curve is handed out only whole. A count reply ends the
// download that ran (the latest count answers the latest read the user asked for); the
// request that download had out is answered later, with a sample number the new one does
// not wait for. A sample is kept only when it is the one last asked for, so replies of an
// earlier chain, repeats and strays fall away without asking for anything, and one chain
// of requests remains. A reply that is refused changes nothing.
class CurveDownload {
public:
    // The count field has five digits: no tester holds more samples than that.
    static constexpr std::int32_t kMaxCount = 99999;

    enum class Outcome {
        Started,   // a count began a download (ending any that ran)
        Empty,     // a count of 0 or 1: nothing to download (ending any that ran)
        Stored,    // the sample asked for, and the next one asked for
        Completed, // the last sample: the curve was handed out
        Refused,   // a field that is no number, a count out of range, a sample not asked for
    };

    CurveDownload(Log& log, CommandSender& sender, CurveListener& listener)
        : log_(log), sender_(sender), listener_(listener) {}

    // `function`: the test function the curve is read for; it must use `channel`.
    Outcome countReply(CurveChannel channel, QStringView reply, int function);
    Outcome sampleReply(CurveChannel channel, QStringView reply);

    bool running() const { return download_.has_value(); }
    // The channel of the download that runs, None when none does.
    CurveChannel channel() const;
    // The number of the last sample to ask for, 0 when no download runs.
    std::uint32_t lastSampleIndex() const;
    // The number of the sample last asked for, 0 when no download runs.
    std::int32_t nextSampleIndex() const;
    // How many samples the download that runs has kept.
    std::size_t received() const;

    // Stops waiting for the download that runs: its later samples are refused. True when
    // one ran.
    bool abandon();

private:
    struct Download {
        CurveChannel channel;
        const TestFunction* function;
        std::uint32_t last;
        std::int32_t next;
        std::vector<std::int32_t> raw;
        int percent = 0;
    };

    Log& log_;
    CommandSender& sender_;
    CurveListener& listener_;
    std::optional<Download> download_;
};

} // namespace kr90x
