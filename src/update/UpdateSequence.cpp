#include "update/UpdateSequence.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace kr90x {

std::uint64_t UpdateSequence::highest() const {
    std::uint64_t kept = 0;
    QFile file(path_);
    if (!path_.isEmpty() && file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.read(64).trimmed();
        bool ok = false;
        const qulonglong value = text.toULongLong(&ok);
        if (ok) {
            kept = value;
        }
    }
    return std::max(kept, runHighest_);
}

bool UpdateSequence::raise(std::uint64_t sequence) {
    if (sequence <= highest()) {
        return true;
    }
    runHighest_ = sequence;
    if (path_.isEmpty()) {
        return true;
    }
    const QString folder = QFileInfo(path_).absolutePath();
    // A folder made here holds what only this user has to read.
    if (!QDir(folder).exists() &&
        (!QDir().mkpath(folder) ||
         !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner))) {
        return false;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QByteArray::number(static_cast<qulonglong>(sequence)) + '\n');
    return file.commit();
}

} // namespace kr90x
