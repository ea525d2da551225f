#pragma once

#include <QString>

class QTimer;

namespace kr90x {

struct AppState;

// Sends one command to the tester: lays its characters into the output report (over
// whatever a longer earlier command left there), arms the reply timer it names and
// writes one report when the tester is attached. Reports nothing: a reply timer tells of
// a command that did not arrive.
class CommandSender {
public:
    explicit CommandSender(AppState& state) : state_(state) {}

    void SendCommand(const QString& command, QTimer* replyTimer);

private:
    AppState& state_;
};

} // namespace kr90x
