#pragma once

#include "reports/ReportDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

#include <algorithm>
#include <vector>

namespace kr90x::bench {

// Benchmarks run unattended: every box is answered at once and forgotten, every report
// window cancelled.
class NoDialogs : public reports::ReportDialogs {
public:
    void showBox(const MessageBox&) override {}
};

// The middle of the figures, and the one `p` of the way up (0.99: the 99th percentile).
inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
inline double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

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

// Watches a widget (its viewport) for its first paint.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace kr90x::bench
