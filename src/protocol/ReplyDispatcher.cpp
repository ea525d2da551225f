#include "protocol/ReplyDispatcher.h"

#include "core/Log.h"
#include "protocol/Reply.h"

#include <QTimer>

namespace kr90x {
namespace {
constexpr std::array<const char*, kReplyKinds> kPrefixes = {
    "KR90X_VERS", "KR90X_COMG", "KR90X_COMD", "KR90X_GAMX", "KR90X_GTMX", "KR90X_GFMX",
    "KR90X_GDMX", "KR90X_EEPR", "KR90X_GAVA", "KR90X_GTVA", "KR90X_GFVA", "KR90X_GDVA"};
} // namespace

const char* ReplyDispatcher::prefix(ReplyKind kind) {
    return kPrefixes[static_cast<std::size_t>(kind)];
}

void ReplyDispatcher::dispatch(const std::uint8_t* data, std::uint16_t size) {
    const QString reply = replyText(data, size);
    replyTimer_.stop();
    log_.add(reply);
    const QStringView head = ReplyPrefix(reply);
    try {
        for (std::size_t i = 0; i < kReplyKinds; ++i) {
            if (handlers_[i] && head == QLatin1String(kPrefixes[i])) {
                handlers_[i](reply);
            }
        }
    } catch (const ConversionError&) {
        // The tester sent something that is not a number where one belongs: this reply
        // is abandoned where it stands, with nothing shown.
    }
}

} // namespace kr90x
