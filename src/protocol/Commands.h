#pragma once

#include "protocol/TesterCodes.h"

#include <QString>

namespace kr90x {

// Commands with more than their code. A numbered command is its code, "|", a
// five-character number field and "|".
inline constexpr char kVersionCommand[] = "KR90X_VERS|";
inline constexpr char kFirstEepromCommand[] = "KR90X_EEPR|00000|";

// code + "|" + number right-aligned in five characters + "|", e.g. "KR90X_GAVA|    1|".
QString numberedCommand(ReplyKind kind, unsigned number);

} // namespace kr90x
