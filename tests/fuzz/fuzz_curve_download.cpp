// Random sequences of count and sample replies, well-formed and not, from any channel and
// chain, with the download left now and then, against the curve download. Checks what
// must hold whatever the tester sends: a curve is handed out whole (its length is the
// count of the download that ran, each sample the answer to its own request of that
// download), nothing is kept beyond the count, and a refused reply changes nothing and
// asks for nothing.
#include "core/AppState.h"
#include "core/Log.h"
#include "measure/CurveDownload.h"
#include "protocol/CommandSender.h"
#include "protocol/Reply.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>

namespace {

using namespace kr90x;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

struct Events : CurveListener {
    int count = 0;
    std::optional<Curve> completed;
    void curveStarted() override { ++count; }
    void curveProgress(int percent) override {
        ++count;
        check(percent >= 1 && percent <= 100);
    }
    void curveCompleted(const Curve& curve) override {
        ++count;
        completed = curve;
    }
    void curveEmpty() override { ++count; }
};

// What the download must hold: the samples of the chain that runs, by number.
struct Model {
    CurveChannel channel = CurveChannel::None;
    std::uint32_t last = 0;
    std::map<int, std::int32_t> kept;
};

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int number() { return static_cast<std::int16_t>(byte() | byte() << 8); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr const char* kCount[] = {"KR90X_GAMX", "KR90X_GTMX", "KR90X_GFMX", "KR90X_GDMX"};
constexpr const char* kSample[] = {"KR90X_GAVA", "KR90X_GTVA", "KR90X_GFVA", "KR90X_GDVA"};

CurveChannel channelOf(int i) {
    return static_cast<CurveChannel>(i + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AppState state;
    Log log;
    CommandSender sender(state);
    Events events;
    CurveDownload download(log, sender, events);
    Model model;
    Input in(data, size);
    for (int step = 0; in.more() && step < 2000; ++step) {
        const int channel = in.byte() % 4;
        const std::uint8_t op = in.byte();
        const auto snapshot =
            std::make_tuple(download.running(), download.channel(), download.lastSampleIndex(),
                            download.nextSampleIndex(), download.received());
        state.CurrentCommand.clear();
        events.count = 0;
        events.completed.reset();
        CurveDownload::Outcome outcome{};
        QString reply;
        switch (op % 6) {
        case 0: { // a count, small or any
            const int count = op & 0x80 ? in.number() : in.byte() % 8;
            reply = QStringLiteral("%1|%2|").arg(QLatin1String(kCount[channel])).arg(count, 5);
            outcome = download.countReply(channelOf(channel), reply,
                                          curveFunction(channelOf(channel), in.byte() % 10, -1));
            break;
        }
        case 1:   // the sample asked for, or one near it
        case 2: { // any sample
            const int k =
                op % 6 == 1 ? download.nextSampleIndex() + (op >> 5) % 3 - 1 : in.number();
            reply = QStringLiteral("%1|%2|%3|")
                        .arg(QLatin1String(kSample[channel]))
                        .arg(k, 5)
                        .arg(in.number() % 10000, 4);
            outcome = download.sampleReply(channelOf(channel), reply);
            break;
        }
        case 3: { // text of any shape after a count or sample code
            reply = QLatin1String(op & 0x40 ? kCount[channel] : kSample[channel]);
            for (int n = in.byte() % 24; n > 0; --n) {
                reply.append(QChar(in.byte()));
            }
            outcome = op & 0x40 ? download.countReply(channelOf(channel), reply,
                                                      curveFunction(channelOf(channel), -1, -1))
                                : download.sampleReply(channelOf(channel), reply);
            break;
        }
        case 4:
            check(download.abandon() == std::get<0>(snapshot));
            model = Model{};
            continue;
        default: // the sample asked for, from the wrong channel
            reply = QStringLiteral("%1|%2|   1|")
                        .arg(QLatin1String(kSample[(channel + 1) % 4]))
                        .arg(download.nextSampleIndex(), 5);
            outcome = download.sampleReply(channelOf((channel + 1) % 4), reply);
            if (download.running() && channelOf((channel + 1) % 4) != download.channel()) {
                check(outcome == CurveDownload::Outcome::Refused);
            }
            break;
        }

        using O = CurveDownload::Outcome;
        switch (outcome) {
        case O::Refused:
            check(std::make_tuple(download.running(), download.channel(),
                                  download.lastSampleIndex(), download.nextSampleIndex(),
                                  download.received()) == snapshot);
            check(state.CurrentCommand.isEmpty() && events.count == 0);
            break;
        case O::Started:
            check(download.running() && download.nextSampleIndex() == 1 &&
                  download.received() == 0 && !state.CurrentCommand.isEmpty());
            model = Model{download.channel(), download.lastSampleIndex(), {}};
            break;
        case O::Empty:
            check(!download.running() && state.CurrentCommand.isEmpty());
            model = Model{};
            break;
        case O::Stored:
        case O::Completed: {
            const std::int32_t k = readReplyField(reply, 12, 5).value();
            const std::int32_t v = readReplyField(reply, 18, 4).value();
            // Only the sample the chain that runs asked for last.
            check(std::get<0>(snapshot) && std::get<1>(snapshot) == model.channel &&
                  k == std::get<3>(snapshot) && !model.kept.contains(k));
            model.kept[k] = v;
            if (outcome == O::Stored) {
                check(download.received() == model.kept.size() &&
                      download.received() <= download.lastSampleIndex());
                break;
            }
            check(!download.running() && events.completed);
            check(events.completed->raw.size() == model.last &&
                  events.completed->values.size() == model.last);
            for (const auto& [number, value] : model.kept) {
                check(events.completed->raw[static_cast<std::size_t>(number - 1)] == value);
            }
            check(model.kept.size() == model.last);
            model = Model{};
            break;
        }
        }
    }
    return 0;
}
