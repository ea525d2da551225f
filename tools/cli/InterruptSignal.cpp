#include "InterruptSignal.h"

#include <csignal>

namespace kr90x::cli {

int InterruptSignal::caught() {
    return TerminationSignals::caught();
}

CliResult<Done> checkInterrupt() {
    const int signal = InterruptSignal::caught();
    if (signal == 0) {
        return Done{};
    }
    return cliFail(static_cast<Exit>(128 + signal), signal == SIGTERM
                                                        ? QStringLiteral("terminated")
                                                        : QStringLiteral("interrupted"));
}

InterruptSignal::InterruptSignal(std::function<void(int signal)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    QObject::connect(&signals_, &TerminationSignals::requested, &signals_,
                     [this](int signal) { onInterrupt_(signal); });
}

InterruptSignal::~InterruptSignal() = default;

} // namespace kr90x::cli
