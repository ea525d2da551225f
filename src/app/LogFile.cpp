#include "app/LogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kr90x {
namespace {

// Replies carry NUL bytes after their text, and texts may hold other control
// characters: a log for people shows none of them raw.
QByteArray printable(const QString& line) {
    QString shown = line;
    while (shown.endsWith(QChar(0))) {
        shown.chop(1);
    }
    for (QChar& c : shown) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QLatin1Char('.');
        }
    }
    return shown.toUtf8();
}

constexpr qint64 kFlushAt = 64 * 1024;

} // namespace

QString LogFile::defaultPath() {
    // XDG_STATE_HOME, ~/.local/state when unset (Qt 6.4 knows no state location).
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/orvo-kr90x/orvo-kr90x.log");
}

LogFile::LogFile(const QString& path, std::FILE* err)
    : path_(path.isEmpty() ? defaultPath() : path), err_(err) {
    const QString folder = QFileInfo(path_).absolutePath();
    if (QDir().mkpath(folder)) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    file_.setFileName(path_);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file_.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    QObject::connect(&flushTimer_, &QTimer::timeout, [this] { flush(); });
}

LogFile::~LogFile() {
    flush();
}

void LogFile::add(const QString& line) {
    const QByteArray text = printable(line) + '\n';
    if (err_) {
        pendingErr_ += text;
    }
    if (file_.isOpen()) {
        // Formatting the time costs more than the rest of a line: once a millisecond.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now != stampMs_) {
            stampMs_ = now;
            stamp_ = QDateTime::fromMSecsSinceEpoch(now)
                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                         .toUtf8();
        }
        pending_ += stamp_ + text;
    }
    if (pending_.size() + pendingErr_.size() >= kFlushAt) {
        flush();
    } else if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void LogFile::flush() {
    if (err_ && !pendingErr_.isEmpty()) {
        std::fwrite(pendingErr_.constData(), 1, static_cast<std::size_t>(pendingErr_.size()), err_);
        std::fflush(err_);
        pendingErr_.clear();
    }
    if (file_.isOpen() && !pending_.isEmpty()) {
        file_.write(pending_);
        file_.flush();
        pending_.clear();
        rotateIfFull();
    }
}

void LogFile::rotateIfFull() {
    if (file_.size() < kMaxBytes) {
        return;
    }
    file_.close();
    const QString older = path_ + QStringLiteral(".1");
    QFile::remove(older);
    QFile::rename(path_, older);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file_.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

} // namespace kr90x
