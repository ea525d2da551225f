#pragma once

#include <QString>
#include <QStringList>

namespace kr90x {

// The diagnostic log: one line per call. Kept as a plain list of lines because a curve
// download can add two lines per sample, and a text widget behind every append would
// make the download crawl.
class Log {
public:
    explicit Log(QStringList initial = {}) : lines_(std::move(initial)) {}

    void add(const QString& line) { lines_.append(line); }
    void clear() { lines_.clear(); }

    const QStringList& lines() const { return lines_; }
    qsizetype count() const { return lines_.size(); }
    // The last line, or an empty text when the log is empty.
    QString last() const;

private:
    QStringList lines_;
};

} // namespace kr90x
