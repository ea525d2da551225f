#pragma once

#include <QString>

namespace kr90x {

// The folder Save As last wrote a report into, kept between runs in the user's settings
// file ($XDG_CONFIG_HOME/orvo-kr90x/orvo-kr90x.conf). Before the first save, and when the
// folder has gone, the documents folder.
class SaveFolder {
public:
    static QString settingsFile();
    static QString load();
    static void remember(const QString& folder);
};

} // namespace kr90x
