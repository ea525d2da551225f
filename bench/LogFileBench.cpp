// One log line into the log file (time stamp, control characters shown, gathered writes
// with the bound checked), as a curve download writes two a sample. Target: a small part
// of the ~60 us a sample takes over USB.
#include "app/LogFile.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void LogFileLine(benchmark::State& st) {
    QTemporaryDir dir;
    kr90x::LogFile log(dir.filePath(QStringLiteral("orvo-kr90x.log")), nullptr);
    // A sample reply as logged (NULs after its text) and the line after each request.
    const QString reply = QStringLiteral("KR90X_GAVA|12345| 123|") + QString(42, QChar(0));
    const QString last = QStringLiteral("65534");
    bool odd = false;
    for (auto _ : st) {
        log.add((odd = !odd) ? reply : last);
    }
    log.flush();
}
BENCHMARK(LogFileLine)->Unit(benchmark::kNanosecond);

} // namespace
