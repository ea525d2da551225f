#pragma once

#include "reports/ReportDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

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
