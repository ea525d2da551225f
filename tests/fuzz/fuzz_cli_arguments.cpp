// Arbitrary command lines for kr90x (arguments separated by NUL bytes): the parser takes
// them or refuses them as a usage error with a one-line reason, and what it takes lies
// within the bounds --help promises.
#include "Arguments.h"

#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\0');
    QStringList arguments;
    for (const QByteArray& part : parts) {
        arguments << QString::fromUtf8(part);
    }
    using namespace kr90x::cli;
    const CliResult<Invocation> r = parseArguments(arguments);
    if (!r) {
        if (r.error().exit != Exit::Usage || r.error().message.isEmpty() ||
            r.error().message.contains(QLatin1Char('\n'))) {
            std::abort();
        }
        return 0;
    }
    const Invocation& inv = *r;
    const bool reads = inv.command == Command::Read;
    const bool inBounds = inv.timeoutMs >= 1 && inv.timeoutMs <= kMaxTimeoutMs &&
                          inv.function >= -1 && inv.function <= 8 &&
                          (!reads || inv.function >= 0) && (!inv.record || *inv.record > 0) &&
                          (inv.command != Command::Report || !inv.pdf.isEmpty()) &&
                          (inv.command != Command::RecordsExport || !inv.csv.isEmpty()) &&
                          inv.vehicle.plate.size() <= 20 && inv.vehicle.notes.size() <= 4000;
    for (kr90x::records::RecordId id : inv.ids) {
        if (id <= 0) {
            std::abort();
        }
    }
    if (!inBounds) {
        std::abort();
    }
    return 0;
}
