#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace kr90x::test {

// Runs the event loop until the condition holds or the bound has passed; true when it
// holds. Wakes at every event, and at least every 5 ms for conditions that other threads
// change without an event.
template <typename Condition> bool waitFor(Condition condition, int boundMs = 5000) {
    QDeadlineTimer deadline(boundMs);
    QTimer tick;
    tick.start(5);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs what the event loop has queued so far, without waiting for anything new.
inline void drainEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

} // namespace kr90x::test
