#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kr90x {

// SIGTERM and SIGINT (a logout, systemctl, kill, Ctrl+C in the terminal) as a request to
// close, told on the event loop, so the program ends as closing its window ends it: the
// housekeeping done, the records closed. Only one instance at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    TerminationSignals();
    ~TerminationSignals() override;

    // The first of them caught, 0 while none was: readable at any time, on any thread,
    // by work that runs without the event loop between its steps.
    static int caught();

signals:
    void requested(int signal);

private:
    void readSignal();

    int fds_[2] = {-1, -1}; // the handler writes to [1], the event loop reads [0]
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace kr90x
