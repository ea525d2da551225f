#include "app/LogMemo.h"

namespace kr90x {

LogMemo::LogMemo(const Log& log, QWidget* parent) : QPlainTextEdit(parent), log_(log) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setReadOnly(true);
}

void LogMemo::showEvent(QShowEvent* event) {
    setPlainText(log_.lines().join(QLatin1Char('\n')));
    QPlainTextEdit::showEvent(event);
}

} // namespace kr90x
