// Arbitrary text after "--virtual-tester=": the options reader takes it or refuses it
// with a reason, and what it takes lies within the bounds the options promise.
#include "simulator/TesterOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data),
                                           static_cast<qsizetype>(size));
    const kr90x::ParsedTesterOptions p = kr90x::parseTesterOptions(text);
    if (!p.options) {
        if (p.error.isEmpty() || p.error.contains(QLatin1Char('\n'))) {
            std::abort();
        }
        return 0;
    }
    const kr90x::TesterOptions& o = *p.options;
    const bool inBounds = o.firmware >= 0 && o.firmware <= 999 &&
                          (!o.samples || (*o.samples >= 0 && *o.samples <= 99999)) &&
                          (!o.weakCylinder || (*o.weakCylinder >= 1 && *o.weakCylinder <= 6)) &&
                          o.delay.count() >= 0 && o.delay.count() <= 60000 &&
                          o.pace.count() >= 0 && o.pace.count() <= 60000 &&
                          (!o.unplugAfter || *o.unplugAfter >= 1);
    if (!inBounds) {
        std::abort();
    }
    return 0;
}
