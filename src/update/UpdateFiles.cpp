#include "update/UpdateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kr90x {

QString partPath(const QString& finalPath) {
    return finalPath.isEmpty() ? QString() : finalPath + QStringLiteral(".part");
}

bool fileExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

void deleteFile(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    // QFile::remove unlinks a symbolic link itself, also one to a folder.
    QFile::remove(path);
}

bool renameFile(const QString& from, const QString& to) {
    if (from.isEmpty() || to.isEmpty() || fileExists(to)) {
        return false;
    }
    return QFile::rename(from, to);
}

void makeExecutable(const QString& path) {
    QFile file(path);
    QFileDevice::Permissions p = file.permissions();
    p |= QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (p & QFileDevice::ReadGroup) {
        p |= QFileDevice::ExeGroup;
    }
    if (p & QFileDevice::ReadOther) {
        p |= QFileDevice::ExeOther;
    }
    file.setPermissions(p);
}

namespace {

std::optional<QByteArray> sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return std::nullopt;
    }
    return hash.result().toHex();
}

} // namespace

InstallResult installDownload(const QString& finalPath,
                              const std::optional<QByteArray>& expectedSha256, bool executable) {
    if (finalPath.isEmpty()) {
        return InstallResult::Failed;
    }
    const QString part = partPath(finalPath);
    if (expectedSha256) {
        const std::optional<QByteArray> actual = sha256Of(part);
        if (!actual || actual->compare(expectedSha256->trimmed(), Qt::CaseInsensitive) != 0) {
            deleteFile(part);
            return InstallResult::HashMismatch;
        }
    }
    deleteFile(finalPath);
    if (!renameFile(part, finalPath)) {
        deleteFile(part);
        return InstallResult::Failed;
    }
    if (executable) {
        makeExecutable(finalPath);
    }
    return InstallResult::Installed;
}

} // namespace kr90x
