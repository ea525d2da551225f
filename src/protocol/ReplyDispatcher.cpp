#include "protocol/ReplyDispatcher.h"

#include "core/Log.h"
#include "protocol/Reply.h"

#include <QTimer>

namespace kr90x {

void ReplyDispatcher::dispatch(const std::uint8_t* data, std::uint16_t size) {
    const QString reply = replyText(data, size);
    replyTimer_.stop();
    log_.add(reply);
    const QStringView head = ReplyPrefix(reply);
    try {
        for (const TesterCode& t : kTesterCodes) {
            const Handler& handler = handlers_[static_cast<std::size_t>(t.kind)];
            if (handler && head == QLatin1String(t.code)) {
                handler(reply);
            }
        }
    } catch (const ConversionError&) {
        // The tester sent something that is not a number where one belongs: this reply
        // is abandoned where it stands, with nothing shown.
    }
}

} // namespace kr90x
