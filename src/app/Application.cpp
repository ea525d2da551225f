#include "app/Application.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

namespace kr90x {

void setUpApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Orvo_KR90X"));
    // Lets the desktop match the window to its launcher (and icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("orvo-kr90x"));
    // Every window, the report preview and the boxes included, wears the program's icon.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/Icon")));
    // One face for every window: the templates' Arial-metric sans. Where the package's
    // fonts are all there is, "sans-serif" resolves to Liberation Mono.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

} // namespace kr90x
