#pragma once

#include "CliError.h"

#include "core/TerminationSignals.h"

#include <functional>

namespace kr90x::cli {

// Turns Ctrl+C (SIGINT) and SIGTERM (kill, a logout, systemctl) into a call on the event
// loop, so that a download can end with the tester idle instead of mid-conversation, and
// into a flag that work without an event loop (a records list, an export) reads between
// its steps. Their default actions come back with the object's end.
class InterruptSignal {
public:
    explicit InterruptSignal(std::function<void(int signal)> onInterrupt);
    ~InterruptSignal();
    InterruptSignal(const InterruptSignal&) = delete;
    InterruptSignal& operator=(const InterruptSignal&) = delete;

    // The first signal caught, 0 while none was: readable at any time, on any thread.
    static int caught();

private:
    std::function<void(int signal)> onInterrupt_;
    TerminationSignals signals_; // the window's, which ends the same way
};

// Fails once SIGINT or SIGTERM came, with the status a shell gives a program ended by that
// signal: what is under way stops at this step, and nothing is written or kept after it.
CliResult<Done> checkInterrupt();

} // namespace kr90x::cli
