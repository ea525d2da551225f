#include "ftp/FtpCommandStack.h"

#include "ftp/FtpTypes.h"

namespace kr90x {

void FtpCommandStack::push(QByteArray line) {
    if (lines_.size() >= Capacity) {
        lines_.clear();
        throw FtpException("FTP Command stack full");
    }
    lines_.push_back(std::move(line));
}

std::optional<QByteArray> FtpCommandStack::pop() {
    if (lines_.empty()) {
        return std::nullopt;
    }
    QByteArray line = std::move(lines_.back());
    lines_.pop_back();
    return line;
}

} // namespace kr90x
