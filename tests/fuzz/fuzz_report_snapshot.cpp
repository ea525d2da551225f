// Report snapshot files come from outside: every byte string must be read or refused
// without a crash, a hang or an unbounded allocation.
#include "reports/Snapshot.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    kr90x::reports::Document document;
    QString error;
    if (kr90x::reports::readSnapshot(bytes, document, &error)) {
        // What was read writes back and reads again.
        kr90x::reports::Document again;
        if (!kr90x::reports::readSnapshot(kr90x::reports::writeSnapshot(document), again)) {
            __builtin_trap();
        }
    }
    return 0;
}
