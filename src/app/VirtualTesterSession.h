#pragma once

#include "app/TesterPanel.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "simulator/TesterOptions.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace kr90x {

class VirtualTester;

// The simulated tester of --virtual-tester: an in-process HID platform with the tester
// plugged in from the start, and the panel a trainer uses to pull it out, plug it in and
// change what it holds while the program runs.
class VirtualTesterSession {
public:
    explicit VirtualTesterSession(const TesterOptions& options);
    ~VirtualTesterSession();

    HidPlatform& platform() { return platform_; }
    VirtualTester& tester() { return *tester_; }

    bool plugged() const { return plugged_; }
    void plug();
    void unplug();

    // The panel, as a tool window beside `window`.
    void showPanel(QWidget* window);
    TesterPanel* panel() const { return panel_; }

private:
    VirtualHidPlatform platform_;
    std::shared_ptr<VirtualTester> tester_;
    QPointer<TesterPanel> panel_;
    bool plugged_ = false;
    QObject context_; // what is queued for the session goes with it
};

} // namespace kr90x
