#include "link/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace kr90x {
namespace {

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

enum ReportType { Input, Output, Feature, TypeCount };

// Longer reports than a capability can describe make the descriptor worthless to us.
constexpr std::uint64_t kMaxReportBits = 8ULL * 65534;
constexpr std::size_t kMaxPushDepth = 64;

} // namespace

std::optional<ReportLayout> parseReportDescriptor(std::span<const std::uint8_t> d) {
    Globals g;
    std::vector<Globals> stack;
    int collections = 0;
    bool usesIds = false;
    std::array<std::map<std::uint32_t, std::uint64_t>, TypeCount> bits;

    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t b = d[i];
        if (b == 0xFE) { // long item: 0xFE, data length, tag, data
            if (i + 2 >= d.size() || i + 3 + d[i + 1] > d.size()) {
                return std::nullopt;
            }
            i += 3 + d[i + 1];
            continue;
        }
        const std::size_t size = (b & 3) == 3 ? 4 : (b & 3);
        if (i + 1 + size > d.size()) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < size; ++k) {
            value |= static_cast<std::uint32_t>(d[i + 1 + k]) << (8 * k);
        }
        i += 1 + size;

        const int type = (b >> 2) & 3;
        const int tag = b >> 4;
        if (type == 1) { // global
            switch (tag) {
            case 7:
                g.reportSize = value;
                break;
            case 8:
                if (value == 0 || value > 255) {
                    return std::nullopt;
                }
                g.reportId = value;
                usesIds = true;
                break;
            case 9:
                g.reportCount = value;
                break;
            case 10:
                if (stack.size() >= kMaxPushDepth) {
                    return std::nullopt;
                }
                stack.push_back(g);
                break;
            case 11:
                if (stack.empty()) {
                    return std::nullopt;
                }
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == 0) { // main
            int report = -1;
            switch (tag) {
            case 8:
                report = Input;
                break;
            case 9:
                report = Output;
                break;
            case 11:
                report = Feature;
                break;
            case 10:
                ++collections;
                break;
            case 12:
                if (collections == 0) {
                    return std::nullopt;
                }
                --collections;
                break;
            default:
                break;
            }
            if (report >= 0) {
                std::uint64_t& total = bits[static_cast<std::size_t>(report)][g.reportId];
                total += static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
                if (total > kMaxReportBits) {
                    return std::nullopt;
                }
            }
        }
    }

    auto length = [&](ReportType t) -> std::uint16_t {
        std::uint64_t longest = 0;
        for (const auto& [id, n] : bits[t]) {
            longest = std::max(longest, (n + 7) / 8);
        }
        return longest == 0 ? 0 : static_cast<std::uint16_t>(longest + 1);
    };
    ReportLayout layout;
    layout.usesReportIds = usesIds;
    layout.caps.InputReportByteLength = length(Input);
    layout.caps.OutputReportByteLength = length(Output);
    layout.caps.FeatureReportByteLength = length(Feature);
    return layout;
}

} // namespace kr90x
