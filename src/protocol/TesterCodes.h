#pragma once

#include <array>
#include <cstddef>

namespace kr90x {

// The four curve channels of the tester; compression has none.
enum class CurveChannel { None, HighPressure, Turbo, Fsi, Tdi };

// The tester's ten-character codes. Each is the start of a command and the prefix of the
// reply to it, so one name serves both. Listed in the order in which a reply is tested
// against them.
enum class ReplyKind {
    Version,
    CompressionPetrol,
    CompressionDiesel,
    HighPressureCount,
    TurboCount,
    FsiCount,
    TdiCount,
    Eeprom,
    HighPressureSample,
    TurboSample,
    FsiSample,
    TdiSample,
};

struct TesterCode {
    ReplyKind kind;
    const char* code;
};

inline constexpr std::array<TesterCode, 12> kTesterCodes = {{
    {ReplyKind::Version, "KR90X_VERS"},
    {ReplyKind::CompressionPetrol, "KR90X_COMG"},
    {ReplyKind::CompressionDiesel, "KR90X_COMD"},
    {ReplyKind::HighPressureCount, "KR90X_GAMX"},
    {ReplyKind::TurboCount, "KR90X_GTMX"},
    {ReplyKind::FsiCount, "KR90X_GFMX"},
    {ReplyKind::TdiCount, "KR90X_GDMX"},
    {ReplyKind::Eeprom, "KR90X_EEPR"},
    {ReplyKind::HighPressureSample, "KR90X_GAVA"},
    {ReplyKind::TurboSample, "KR90X_GTVA"},
    {ReplyKind::FsiSample, "KR90X_GFVA"},
    {ReplyKind::TdiSample, "KR90X_GDVA"},
}};
inline constexpr std::size_t kReplyKinds = kTesterCodes.size();

constexpr const char* code(ReplyKind kind) {
    return kTesterCodes[static_cast<std::size_t>(kind)].code;
}

// A curve channel: the code that asks for its sample count and the one that asks for
// one sample.
struct CurveCodes {
    CurveChannel channel;
    ReplyKind count;
    ReplyKind sample;
};

inline constexpr std::array<CurveCodes, 4> kCurveChannels = {{
    {CurveChannel::HighPressure, ReplyKind::HighPressureCount, ReplyKind::HighPressureSample},
    {CurveChannel::Turbo, ReplyKind::TurboCount, ReplyKind::TurboSample},
    {CurveChannel::Fsi, ReplyKind::FsiCount, ReplyKind::FsiSample},
    {CurveChannel::Tdi, ReplyKind::TdiCount, ReplyKind::TdiSample},
}};

// The place of a channel in kCurveChannels; channel must not be None.
constexpr std::size_t curveIndex(CurveChannel channel) {
    return static_cast<std::size_t>(channel) - 1;
}
constexpr const CurveCodes& curveCodes(CurveChannel channel) {
    return kCurveChannels[curveIndex(channel)];
}

namespace detail {
constexpr std::size_t length(const char* s) {
    std::size_t n = 0;
    while (s[n] != '\0') {
        ++n;
    }
    return n;
}
constexpr bool sameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a, ++b;
    }
    return *a == *b;
}
constexpr bool codesAreConsistent() {
    for (std::size_t i = 0; i < kTesterCodes.size(); ++i) {
        if (static_cast<std::size_t>(kTesterCodes[i].kind) != i ||
            length(kTesterCodes[i].code) != 10) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (sameText(kTesterCodes[i].code, kTesterCodes[j].code)) {
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < kCurveChannels.size(); ++i) {
        if (curveIndex(kCurveChannels[i].channel) != i) {
            return false;
        }
    }
    return true;
}
} // namespace detail
static_assert(detail::codesAreConsistent(),
              "ten-character codes in ReplyKind order, each once; channels in CurveChannel order");

} // namespace kr90x
