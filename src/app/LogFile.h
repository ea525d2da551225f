#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTimer>

#include <cstdio>

namespace kr90x {

// The log where people look for it: every line to standard error (the journal keeps it
// when the program is started from the desktop) and to a file of the user's,
// $XDG_STATE_HOME/orvo-kr90x/orvo-kr90x.log (readable by the user alone), each line
// with its time. At kMaxBytes the file becomes orvo-kr90x.log.1 (the one before goes) and
// a new one begins. A curve download logs two lines a sample, so lines are gathered and
// written once the event loop is free, not one system call a line.
class LogFile {
public:
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    // `path` empty: the default above. `err` null: no standard error.
    explicit LogFile(const QString& path = {}, std::FILE* err = stderr);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    static QString defaultPath();
    QString path() const { return path_; }

    void add(const QString& line);
    // Writes what was gathered.
    void flush();

private:
    void rotateIfFull();

    QString path_;
    std::FILE* err_;
    QFile file_;
    QByteArray pending_; // to the file
    QByteArray pendingErr_;
    qint64 stampMs_ = -1;
    QByteArray stamp_; // the time of stampMs_, as lines begin with it
    QTimer flushTimer_;
};

} // namespace kr90x
