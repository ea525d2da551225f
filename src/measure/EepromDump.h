#pragma once

#include <QString>

class QTimer;

namespace kr90x {

struct AppState;
class CommandSender;
class Log;

// Reads the tester's EEPROM, addresses 0 to 2200, one byte per request, into the
// program's image of it and writes the image to the log. For diagnosis only.
class EepromDump {
public:
    static constexpr int kLastAddress = 2200;

    EepromDump(AppState& state, Log& log, CommandSender& sender, QTimer& replyTimer)
        : state_(state), log_(log), sender_(sender), replyTimer_(replyTimer) {}

    void start();
    void handleReply(const QString& reply);

private:
    AppState& state_;
    Log& log_;
    CommandSender& sender_;
    QTimer& replyTimer_;
};

} // namespace kr90x
