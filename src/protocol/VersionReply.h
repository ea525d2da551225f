#pragma once

#include <QString>

#include <functional>

class QTimer;

namespace kr90x {

struct AppState;
class Log;

// The tester's answer to the version question: stops its timer, keeps the version and
// starts the firmware update when the server offers a newer one.
class VersionReply {
public:
    VersionReply(AppState& state, Log& log, QTimer& versionTimer,
                 std::function<void()> launchOrvoFlash)
        : state_(state), log_(log), versionTimer_(versionTimer),
          launchOrvoFlash_(std::move(launchOrvoFlash)) {}

    void handle(const QString& reply);

private:
    AppState& state_;
    Log& log_;
    QTimer& versionTimer_;
    std::function<void()> launchOrvoFlash_;
};

} // namespace kr90x
