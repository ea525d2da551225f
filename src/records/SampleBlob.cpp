#include "records/SampleBlob.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kr90x::records {
namespace {

constexpr char kMagic[2] = {'K', 'S'};
constexpr std::uint8_t kVersion = 1;
constexpr qsizetype kHeaderSize = 12;
static_assert(kMaxSampleBlobBytes == kHeaderSize + qsizetype{kMaxSamples} * 8);

enum class Encoding : std::uint8_t { Int16 = 1, Int32 = 2, Float64 = 3 };

int widthOf(Encoding e) {
    switch (e) {
    case Encoding::Int16:
        return 2;
    case Encoding::Int32:
        return 4;
    case Encoding::Float64:
        return 8;
    }
    return 0;
}

double powerOfTen(int decimals) {
    double p = 1;
    for (int i = 0; i < decimals; ++i) {
        p *= 10;
    }
    return p;
}

// The narrowest whole-number encoding that holds every sample exactly, if any does.
std::optional<Encoding> wholeNumberEncoding(std::span<const double> samples, double scale) {
    Encoding e = Encoding::Int16;
    for (double v : samples) {
        const double scaled = v * scale;
        if (!std::isfinite(scaled)) {
            return std::nullopt;
        }
        const double whole = std::round(scaled);
        // Only what decodes to the very same value: a record gives back what was shown.
        if (std::abs(whole) > std::numeric_limits<std::int32_t>::max() || whole / scale != v) {
            return std::nullopt;
        }
        if (whole < std::numeric_limits<std::int16_t>::min() ||
            whole > std::numeric_limits<std::int16_t>::max()) {
            e = Encoding::Int32;
        }
    }
    return e;
}

template <typename T> void put(char* at, T value) {
    qToLittleEndian(value, at);
}

} // namespace

QByteArray encodeSamples(std::span<const double> samples, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const double scale = powerOfTen(decimals);
    const std::optional<Encoding> whole = wholeNumberEncoding(samples, scale);
    const Encoding encoding = whole.value_or(Encoding::Float64);
    const int width = widthOf(encoding);

    QByteArray blob(kHeaderSize + static_cast<qsizetype>(samples.size()) * width, '\0');
    char* out = blob.data();
    std::memcpy(out, kMagic, 2);
    out[2] = static_cast<char>(kVersion);
    out[3] = static_cast<char>(encoding);
    out[4] = static_cast<char>(whole ? decimals : 0);
    put(out + 8, static_cast<std::uint32_t>(samples.size()));
    out += kHeaderSize;
    for (double v : samples) {
        switch (encoding) {
        case Encoding::Int16:
            put(out, static_cast<std::int16_t>(std::lround(v * scale)));
            break;
        case Encoding::Int32:
            put(out, static_cast<std::int32_t>(std::lround(v * scale)));
            break;
        case Encoding::Float64:
            put(out, std::bit_cast<std::uint64_t>(v));
            break;
        }
        out += width;
    }
    return blob;
}

std::optional<std::vector<double>> decodeSamples(QByteArrayView blob) {
    if (blob.size() < kHeaderSize) {
        return std::nullopt;
    }
    const auto* in = reinterpret_cast<const uchar*>(blob.data());
    if (std::memcmp(in, kMagic, 2) != 0 || in[2] != kVersion || in[5] != 0 || in[6] != 0 ||
        in[7] != 0) {
        return std::nullopt;
    }
    const auto encoding = static_cast<Encoding>(in[3]);
    const int width = widthOf(encoding);
    const int decimals = in[4];
    if (width == 0 || decimals > kMaxDecimals || (encoding == Encoding::Float64 && decimals)) {
        return std::nullopt;
    }
    const std::uint32_t count = qFromLittleEndian<std::uint32_t>(in + 8);
    if (count > kMaxSamples || blob.size() - kHeaderSize != static_cast<qsizetype>(count) * width) {
        return std::nullopt;
    }
    const double scale = powerOfTen(decimals);
    std::vector<double> samples;
    samples.reserve(count);
    for (const uchar* p = in + kHeaderSize; samples.size() < count; p += width) {
        switch (encoding) {
        case Encoding::Int16:
            samples.push_back(qFromLittleEndian<std::int16_t>(p) / scale);
            break;
        case Encoding::Int32:
            samples.push_back(qFromLittleEndian<std::int32_t>(p) / scale);
            break;
        case Encoding::Float64: {
            const double v = std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(p));
            if (!std::isfinite(v)) {
                return std::nullopt;
            }
            samples.push_back(v);
            break;
        }
        }
    }
    return samples;
}

} // namespace kr90x::records
