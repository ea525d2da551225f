#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kr90x {

// The diagnostic log: one line per call. Kept as a plain list of lines because a curve
// download can add two lines per sample, and a text widget behind every append would
// make the download crawl.
class Log {
public:
    explicit Log(QStringList initial = {}) : lines_(std::move(initial)) {}

    void add(const QString& line) {
        lines_.append(line);
        if (sink_) {
            sink_(line);
        }
    }
    // Clears the lines kept here; what the sink was given stays given.
    void clear() { lines_.clear(); }
    // Also hands every line added from now on to `sink` (where people read the log).
    void setSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }

    const QStringList& lines() const { return lines_; }
    qsizetype count() const { return lines_.size(); }
    // The last line, or an empty text when the log is empty.
    QString last() const;

private:
    QStringList lines_;
    std::function<void(const QString&)> sink_;
};

} // namespace kr90x
