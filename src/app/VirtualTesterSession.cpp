#include "app/VirtualTesterSession.h"

#include "app/TesterPanel.h"
#include "simulator/VirtualTester.h"

#include <QTimer>
#include <QWidget>

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
    panel_->show();
    if (window) {
        panel_->move(window->frameGeometry().topRight() + QPoint(8, 0));
    }
}

} // namespace kr90x
