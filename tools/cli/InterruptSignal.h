#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace kr90x::cli {

// Turns Ctrl+C (SIGINT) into a call on the event loop, so that a download can end with
// the tester idle instead of mid-conversation. Its default action comes back with the
// object's end.
class InterruptSignal {
public:
    explicit InterruptSignal(std::function<void()> onInterrupt);
    ~InterruptSignal();
    InterruptSignal(const InterruptSignal&) = delete;
    InterruptSignal& operator=(const InterruptSignal&) = delete;

    bool raised() const { return raised_; }

private:
    void drain();

    std::function<void()> onInterrupt_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    bool raised_ = false;
};

} // namespace kr90x::cli
