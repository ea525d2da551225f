#include "app/VirtualTesterSession.h"

#include "app/TesterPanel.h"
#include "simulator/VirtualTester.h"

#include <QScreen>
#include <QTimer>

#include <QWidget>
#include <algorithm>

namespace kr90x {

VirtualTesterSession::VirtualTesterSession(const TesterOptions& options)
    : tester_(VirtualTester::create()) {
    tester_->applyOptions(options);
    // Asked from inside a write of the program: pulled out once that write is over.
    tester_->onPullOut = [this] { QTimer::singleShot(0, &context_, [this] { unplug(); }); };
    plug();
}

VirtualTesterSession::~VirtualTesterSession() = default;

void VirtualTesterSession::plug() {
    if (!plugged_) {
        plugged_ = true;
        tester_->applyOptions(tester_->options); // access as the options say, count anew
        platform_.plug(tester_->device());
    }
}

void VirtualTesterSession::unplug() {
    if (plugged_) {
        plugged_ = false;
        platform_.unplug(tester_->device());
    }
    if (panel_) {
        panel_->refresh();
    }
}

void VirtualTesterSession::showPanel(QWidget* window) {
    if (!panel_) {
        panel_ = new TesterPanel(*this, window); // owned by the window, a tool window over it
    }
    panel_->adjustSize();
    if (window && window->screen()) {
        // Beside the window where the screen has room (right, then left), else below
        // it, and never off the screen.
        const QRect screen = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        const QSize size = panel_->frameGeometry().size();
        constexpr int kGap = 8;
        QPoint at(frame.right() + kGap, frame.top());
        if (at.x() + size.width() > screen.right()) {
            at.setX(frame.left() - kGap - size.width());
        }
        if (at.x() < screen.left()) {
            at = QPoint(frame.left(), frame.bottom() + kGap);
        }
        at.setX(std::clamp(at.x(), screen.left(),
                           std::max(screen.left(), screen.right() - size.width())));
        at.setY(std::clamp(at.y(), screen.top(),
                           std::max(screen.top(), screen.bottom() - size.height())));
        panel_->move(at);
    }
    panel_->show();
}

} // namespace kr90x
