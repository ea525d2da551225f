#pragma once

#include <QString>

#include <cstdint>

namespace kr90x {

// The highest sequence of a signed manifest this program has accepted, kept in a small
// file of its data folder, so that a replayed older manifest is refused after a restart
// too. No path: nothing is kept, and only the run's own manifests are compared.
class UpdateSequence {
public:
    explicit UpdateSequence(QString path) : path_(std::move(path)) {}

    // 0 when nothing was kept, or when the file holds no number (then the next accepted
    // manifest writes it again).
    std::uint64_t highest() const;
    // Keeps `sequence` when it is higher than what is kept; the file is replaced in one
    // step, readable by its owner only. False when it could not be written.
    bool raise(std::uint64_t sequence);

private:
    QString path_;
    std::uint64_t runHighest_ = 0;
};

} // namespace kr90x
