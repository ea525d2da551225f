#include "protocol/Commands.h"

namespace kr90x {

QString numberedCommand(ReplyKind kind, unsigned number) {
    return QString::fromLatin1(code(kind)) + QLatin1Char('|') +
           QString::number(number).rightJustified(5, QLatin1Char(' ')) + QLatin1Char('|');
}

} // namespace kr90x
