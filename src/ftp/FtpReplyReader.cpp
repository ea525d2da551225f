#include "ftp/FtpReplyReader.h"

#include <algorithm>
#include <cstring>

namespace kr90x {

int replyCodeOf(QByteArrayView line) {
    int code = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(3, line.size()); ++i) {
        const char c = line[i];
        if (c < '0' || c > '9') {
            break;
        }
        code = code * 10 + (c - '0');
    }
    return code;
}

bool isWellFormedReplyLine(QByteArrayView line) {
    if (line.size() < 3) {
        return false;
    }
    for (qsizetype i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return false;
        }
    }
    if (line.size() == 3) {
        return true;
    }
    const char next = line[3];
    return next == ' ' || next == '-' || next == '\r' || next == '\n';
}

void FtpReplyReader::feed(QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const void* nl = std::memchr(p, '\n', static_cast<size_t>(left));
        const qsizetype take =
            nl ? static_cast<const char*>(nl) - p + 1 : left; // through the LF if there is one
        // A line longer than the buffer keeps its start only; the rest of it is dropped.
        const qsizetype room = ReplyBufferText - line_.size();
        if (room > 0) {
            line_.append(p, std::min(room, take));
        }
        p += take;
        left -= take;
        if (nl) {
            lineDone();
        }
    }
}

void FtpReplyReader::lineDone() {
    const QByteArray line = std::move(line_);
    line_.clear();
    const int code = replyCodeOf(line);

    auto appendBounded = [this](const QByteArray& text) {
        const qsizetype room = ReplyBufferText - ReplyBuffer.size();
        if (room > 0) {
            ReplyBuffer.append(text.constData(), std::min(room, text.size()));
        }
    };

    if (multiLine_) {
        if (line.startsWith(MultiLineTerm)) {
            multiLine_ = false;
            ready_.push_back(FtpReply{code, std::move(ReplyBuffer), line, openingWellFormed_});
            ReplyBuffer.clear();
        } else {
            appendBounded(line);
        }
        return;
    }
    ReplyBuffer.clear();
    appendBounded(line);
    openingWellFormed_ = isWellFormedReplyLine(line);
    if (line.size() >= 4 && line[3] == '-') {
        multiLine_ = true;
        MultiLineTerm = line.left(3) + ' ';
        return;
    }
    ready_.push_back(FtpReply{code, std::move(ReplyBuffer), line, openingWellFormed_});
    ReplyBuffer.clear();
}

std::optional<FtpReply> FtpReplyReader::take() {
    if (ready_.empty()) {
        return std::nullopt;
    }
    FtpReply reply = std::move(ready_.front());
    ready_.pop_front();
    return reply;
}

void FtpReplyReader::reset() {
    line_.clear();
    ReplyBuffer.clear();
    multiLine_ = false;
    MultiLineTerm.clear();
    ready_.clear();
}

} // namespace kr90x
