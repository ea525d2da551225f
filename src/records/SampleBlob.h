#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <span>
#include <vector>

namespace kr90x::records {

// A curve's samples as the records keep them: a small header, then every sample as a
// whole number of 10^-decimals units, little-endian, 16 bits wide when they all fit
// (the tester's samples always do: four digits), 32 bits when not, and as IEEE doubles
// for values that are no such whole number.
//
//   "KS" | version 1 | encoding (1: int16, 2: int32, 3: float64) | decimals | 0 0 0 |
//   count (uint32) | count samples
QByteArray encodeSamples(std::span<const double> samples, int decimals);

// The samples back, or nothing when the bytes are not such a blob: a wrong header, a
// length that disagrees with the count, more samples than any curve has, or a value
// that is not a finite number. The bytes come from a database file, which anything may
// have written.
std::optional<std::vector<double>> decodeSamples(QByteArrayView blob);

// No tester curve comes near this; a count beyond it is damage.
inline constexpr std::size_t kMaxSamples = 1u << 20;
// The longest blob decodeSamples takes: its header and kMaxSamples doubles.
inline constexpr qsizetype kMaxSampleBlobBytes = 12 + qsizetype{kMaxSamples} * 8;
inline constexpr int kMaxDecimals = 6;

} // namespace kr90x::records
