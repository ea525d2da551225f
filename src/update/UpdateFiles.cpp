#include "update/UpdateFiles.h"

#include "update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <system_error>

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

InstallOutcome installDownload(const QString& finalPath, const InstallRules& rules) {
    if (finalPath.isEmpty()) {
        return {InstallResult::Failed, QStringLiteral("no folder")};
    }
    const QString part = partPath(finalPath);
    const QFileInfo info(part);
    if (!info.isFile()) {
        return {InstallResult::Failed,
                QString::fromStdString(std::generic_category().message(ENOENT))};
    }
    if (info.size() == 0 && !rules.mayBeEmpty) {
        deleteFile(part);
        return {InstallResult::Empty, {}};
    }
    if (rules.hashRequired && (!rules.sha256 || !parseSha256Hex(*rules.sha256))) {
        deleteFile(part);
        return {InstallResult::HashMissing, {}};
    }
    if (rules.sha256) {
        const std::optional<QByteArray> actual = fileSha256Hex(part);
        if (!actual || actual->compare(rules.sha256->trimmed(), Qt::CaseInsensitive) != 0) {
            deleteFile(part);
            return {InstallResult::HashMismatch, {}};
        }
    }
    // rename(2) replaces what had the name in one step: there is never a moment without
    // a whole file under it, or with a part of one.
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(finalPath).constData()) !=
        0) {
        const int error = errno;
        deleteFile(part);
        return {InstallResult::Failed,
                QString::fromStdString(std::generic_category().message(error))};
    }
    if (rules.executable) {
        makeExecutable(finalPath);
    }
    return {InstallResult::Installed, {}};
}

QString notInstalledLine(const QString& fileName, const InstallOutcome& outcome) {
    switch (outcome.result) {
    case InstallResult::HashMismatch:
        return QStringLiteral("SHA256 incorrecto, borrado: ") + fileName;
    case InstallResult::HashMissing:
        return QStringLiteral("version.ini no da su SHA256, borrado: ") + fileName;
    case InstallResult::Empty:
        return QStringLiteral("Fichero vacío, borrado: ") + fileName;
    case InstallResult::Failed:
        return QStringLiteral("Error al instalar ") + fileName + QStringLiteral(": ") +
               outcome.reason;
    case InstallResult::Installed:
        break;
    }
    return {};
}

} // namespace kr90x
