#include "measure/EepromDump.h"

#include "core/AppState.h"
#include "core/Log.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/Reply.h"

namespace kr90x {

void EepromDump::start() {
    sender_.SendCommand(QString::fromLatin1(kFirstEepromCommand), &replyTimer_);
}

void EepromDump::handleReply(const QString& reply) {
    const std::int32_t value = ReplyField(reply, 18, 4);
    const std::int32_t address = ReplyField(reply, 12, 5);
    if (address < 0 || address >= static_cast<std::int32_t>(state_.EepromImage.size())) {
        return; // no such place in the image; the reply is already in the log
    }
    state_.EepromImage[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value & 0xFF);
    if (address < kLastAddress) {
        sender_.SendCommand(numberedCommand(ReplyKind::Eeprom, static_cast<unsigned>(address) + 1),
                            &replyTimer_);
    } else if (address == kLastAddress) {
        for (int i = 0; i <= kLastAddress; ++i) {
            log_.add(QString::number(i) + QStringLiteral(" = ") +
                     QString::number(state_.EepromImage[static_cast<std::size_t>(i)])
                         .rightJustified(5, QLatin1Char(' ')));
        }
    }
}

} // namespace kr90x
