#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

namespace kr90x {

// The command lines of one operation, pushed in reverse and served last in, first out.
class FtpCommandStack {
public:
    static constexpr std::size_t Capacity = 32;

    // Throws FtpException "FTP Command stack full" and empties the stack when full.
    void push(QByteArray line);
    std::optional<QByteArray> pop();
    void clear() { lines_.clear(); }
    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }

private:
    std::vector<QByteArray> lines_;
};

} // namespace kr90x
