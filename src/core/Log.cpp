#include "core/Log.h"

namespace kr90x {

QString Log::last() const {
    return lines_.isEmpty() ? QString() : lines_.constLast();
}

} // namespace kr90x
