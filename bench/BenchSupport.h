#pragma once

#include "reports/ReportDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace kr90x::bench {

// Benchmarks run unattended: every box is answered at once and forgotten, every report
// window cancelled.
class NoDialogs : public reports::ReportDialogs {
public:
    void showBox(const MessageBox&) override {}
};

// Runs the event loop until `done` holds; false when `boundMs` passed first.
template <typename Condition> bool waitUntil(Condition done, int boundMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > boundMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

} // namespace kr90x::bench
