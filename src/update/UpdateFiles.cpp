#include "update/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kr90x {
namespace {

// A file descriptor that is closed with its owner.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }

private:
    int fd_;
};

// A file to be checked and then used: never through a symbolic link at its name.
int openForCheck(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}

InstallOutcome failed(int error) {
    return {InstallResult::Failed, QString::fromStdString(std::generic_category().message(error))};
}

bool checksHash(const InstallRules& rules) {
    return rules.hash.named || rules.signedOnly;
}

// The name stands for the very file behind the descriptor.
bool holds(const QString& path, int fd) {
    struct stat named {};
    struct stat open {};
    return ::lstat(QFile::encodeName(path).constData(), &named) == 0 && ::fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Lets whoever may read the file run it too.
void makeDescriptorExecutable(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return;
    }
    mode_t mode = st.st_mode | S_IXUSR;
    mode |= (mode & S_IRGRP) ? S_IXGRP : 0;
    mode |= (mode & S_IROTH) ? S_IXOTH : 0;
    ::fchmod(fd, mode & 07777);
}

bool copyBytes(int from, int to) {
    std::vector<char> block(1 << 16);
    for (;;) {
        const ssize_t n = ::read(from, block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, block.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return false;
            }
            done += w;
        }
    }
}

} // namespace

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

// What keeps an opened file from being used at all, before its bytes are looked at: it
// could not be opened, it is no regular file, or it is empty where bytes must be.
std::optional<InstallOutcome> unfit(const Descriptor& file, const InstallRules& rules) {
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0) {
        return failed(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return failed(ENOENT);
    }
    if (st.st_size == 0 && !rules.mayBeEmpty) {
        return InstallOutcome{InstallResult::Empty, {}};
    }
    return std::nullopt;
}

} // namespace

InstallResult vouch(const InstallRules& rules, const std::optional<Sha256Digest>& actual) {
    if (!rules.hash.digest) {
        if (rules.signedOnly) {
            return InstallResult::HashMissing;
        }
        // Unsigned, a hash key that is no hash still says the file is not as it should be.
        return rules.hash.named ? InstallResult::HashMismatch : InstallResult::Installed;
    }
    return actual && *actual == *rules.hash.digest ? InstallResult::Installed
                                                   : InstallResult::HashMismatch;
}

bool canBeVouchedFor(const InstallRules& rules) {
    return !rules.signedOnly || rules.hash.digest.has_value();
}

InstallOutcome renameVerified(const QString& from, const QString& to, const InstallRules& rules) {
    const Descriptor file(openForCheck(from));
    if (std::optional<InstallOutcome> problem = unfit(file, rules)) {
        return *problem;
    }
    const bool hashed = checksHash(rules);
    const InstallResult verdict =
        vouch(rules, hashed ? sha256OfDescriptor(file.get()) : std::nullopt);
    if (verdict != InstallResult::Installed) {
        return {verdict, {}};
    }
    if (rules.betweenCheckAndUse) {
        rules.betweenCheckAndUse();
    }
    // rename(2) replaces what had the name in one step: there is never a moment without
    // a whole file under it, or with a part of one.
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return failed(errno);
    }
    // Somebody who renamed other bytes over `from` after the check has had them renamed
    // into place: they go, not to be run.
    if (hashed && !holds(to, file.get())) {
        deleteFile(to);
        return {InstallResult::HashMismatch, {}};
    }
    if (rules.executable) {
        makeDescriptorExecutable(file.get());
    }
    return {InstallResult::Installed, {}};
}

InstallOutcome installDownload(const QString& finalPath, const InstallRules& rules) {
    if (finalPath.isEmpty()) {
        return {InstallResult::Failed, QStringLiteral("no folder")};
    }
    const QString part = partPath(finalPath);
    if (!QFileInfo(part).isFile()) {
        return failed(ENOENT);
    }
    InstallOutcome outcome = renameVerified(part, finalPath, rules);
    if (!outcome.installed()) {
        deleteFile(part);
    }
    return outcome;
}

InstallOutcome copyVerified(const QString& from, const QString& to, const InstallRules& rules) {
    const Descriptor source(openForCheck(from));
    if (std::optional<InstallOutcome> problem = unfit(source, rules)) {
        return *problem;
    }
    const QByteArray target = QFile::encodeName(to);
    const Descriptor copy(::open(target.constData(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                 rules.executable ? 0700 : 0600));
    if (!copy.valid()) {
        return failed(errno);
    }
    if (!copyBytes(source.get(), copy.get())) {
        const int error = errno;
        ::unlink(target.constData());
        return failed(error);
    }
    // The copy is ours alone (made here, in a folder only we may enter): the bytes hashed
    // from it are the bytes that will be used.
    const InstallResult verdict = vouch(rules, sha256OfDescriptor(copy.get()));
    if (verdict != InstallResult::Installed) {
        ::unlink(target.constData());
        return {verdict, {}};
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
