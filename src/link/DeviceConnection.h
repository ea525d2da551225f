#pragma once

#include "link/TesterIdentity.h"

#include <functional>

namespace kr90x {

struct AppState;
class ControlStates;
class DialogService;
class Log;
class THidDeviceController;

// Keeps the program's view of the tester in step with what is attached: takes the tester
// when one comes, asks it for its firmware version, and gives it back when it has gone.
class DeviceConnection {
public:
    struct Actions {
        std::function<void()> askVersion;      // sends the version question, arms its timer
        std::function<void()> launchOrvoFlash; // the firmware hand-off, once per run
    };

    DeviceConnection(THidDeviceController& controller, AppState& state, Log& log,
                     ControlStates& controls, DialogService& dialogs, Actions actions);

    // After every pass that changed the device list.
    void detect();
    // The version question went unanswered: the tester is taken to run version 11.
    void versionTimedOut();
    // The tester's first failed read since it was taken (unplugged, or lost its rights).
    void readFailed(int error);

private:
    // The attachment's log line and version question.
    void greet();

    THidDeviceController& controller_;
    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    DialogService& dialogs_;
    Actions actions_;
    // The checked-out tester could be opened for reading and writing when it was greeted.
    bool testerUsable_ = false;
};

// Shown once per attachment of a tester that this user may not open.
extern const char* const kNoAccessMessage;

} // namespace kr90x
