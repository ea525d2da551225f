#include "core/HandlerGuard.h"

#include <exception>

namespace kr90x {

bool runGuarded(DialogService& dialogs, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        dialogs.error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        dialogs.error(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace kr90x
