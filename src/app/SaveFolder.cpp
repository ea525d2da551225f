#include "app/SaveFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace kr90x {
namespace {
const QString kKey = QStringLiteral("Reports/SaveFolder");
}

QString SaveFolder::settingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/orvo-kr90x/orvo-kr90x.conf");
}

QString SaveFolder::load() {
    const QString kept = QSettings(settingsFile(), QSettings::IniFormat).value(kKey).toString();
    if (!kept.isEmpty() && QFileInfo(kept).isDir()) {
        return kept;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void SaveFolder::remember(const QString& folder) {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(kKey, folder);
    settings.sync();
}

} // namespace kr90x
