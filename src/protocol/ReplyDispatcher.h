#pragma once

#include "protocol/TesterCodes.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class QTimer;

namespace kr90x {

class Log;

// Turns each input report into a reply text, stops the reply timer, logs the reply and
// hands it to the handler its prefix names. A field that is not a number ends the
// handling of that reply without a word; replies after it are handled as usual.
class ReplyDispatcher {
public:
    using Handler = std::function<void(const QString& reply)>;

    ReplyDispatcher(Log& log, QTimer& replyTimer) : log_(log), replyTimer_(replyTimer) {}

    void setHandler(ReplyKind kind, Handler handler) {
        handlers_[static_cast<std::size_t>(kind)] = std::move(handler);
    }

    void dispatch(const std::uint8_t* data, std::uint16_t size);

private:
    Log& log_;
    QTimer& replyTimer_;
    std::array<Handler, kReplyKinds> handlers_;
};

} // namespace kr90x
