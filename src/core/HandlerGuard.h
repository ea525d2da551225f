#pragma once

#include "core/DialogService.h"

#include <functional>

namespace kr90x {

// Runs one event handler. An error that escapes it is shown in the error box and the
// program goes on; whatever the handler changed before the error stays as it was left.
// Returns false when the handler ended with an error.
bool runGuarded(DialogService& dialogs, const std::function<void()>& handler);

} // namespace kr90x
