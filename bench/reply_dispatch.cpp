// Decode and dispatch of one curve sample reply through the window's report handler:
// reply text, timer stop, log line, prefix tests, sample storage, chart append, the next
// request and its log line. Target: under 2,000 ns per reply.
#include "BenchSupport.h"
#include "app/TForm1.h"
#include "core/AppState.h"
#include "link/virtual/VirtualHidPlatform.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<std::uint8_t> report(const QString& text) {
    std::vector<std::uint8_t> data(64, 0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text.at(i).toLatin1());
    }
    return data;
}

void SampleReply(benchmark::State& st) {
    kr90x::AppState state;
    kr90x::bench::NoDialogs dialogs;
    kr90x::VirtualHidPlatform hid;
    kr90x::TForm1 form(state, dialogs, hid, kr90x::UpdateSettings{});
    const auto count = report(QStringLiteral("KR90X_GAMX|65535|"));
    std::vector<std::vector<std::uint8_t>> samples;
    for (int k = 1; k <= 65534; ++k) {
        samples.push_back(report(QStringLiteral("KR90X_GAVA|%1|%2|").arg(k, 5).arg(k % 2000, 4)));
    }
    std::size_t next = samples.size();
    for (auto _ : st) {
        if (next == samples.size()) {
            st.PauseTiming();
            form.log().clear();
            form.HidContDeviceData(nullptr, 0, count.data(), 64);
            next = 0;
            st.ResumeTiming();
        }
        form.HidContDeviceData(nullptr, 0, samples[next++].data(), 64);
    }
}
BENCHMARK(SampleReply)->Unit(benchmark::kNanosecond);

} // namespace
