#include "app/Application.h"

#include <QGuiApplication>

namespace kr90x {

void setUpApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Orvo_KR90X"));
    // Lets the desktop match the window to its launcher (and icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("orvo-kr90x"));
}

} // namespace kr90x
