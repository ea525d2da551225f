// Arbitrary bytes as a curve's stored samples: the decoder refuses them or gives exactly
// the samples the header announces, every one finite, and what it gives encodes back to
// samples that decode to the same values.
#include "records/SampleBlob.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView blob(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<std::vector<double>> samples = kr90x::records::decodeSamples(blob);
    if (!samples) {
        return 0;
    }
    const std::uint32_t announced =
        static_cast<std::uint32_t>(data[8]) | static_cast<std::uint32_t>(data[9]) << 8 |
        static_cast<std::uint32_t>(data[10]) << 16 | static_cast<std::uint32_t>(data[11]) << 24;
    if (samples->size() != announced || samples->size() > kr90x::records::kMaxSamples) {
        std::abort();
    }
    for (double v : *samples) {
        if (!std::isfinite(v)) {
            std::abort();
        }
    }
    const int decimals = data[4];
    if (kr90x::records::decodeSamples(kr90x::records::encodeSamples(*samples, decimals)) !=
        samples) {
        std::abort();
    }
    return 0;
}
