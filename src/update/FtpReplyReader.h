#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <optional>

namespace kr90x {

struct FtpReply {
    int code = 0;
    // All lines of the reply as they came, CR LF included; for a multi-line reply the
    // final line is not part of it.
    QByteArray text;
};

// Cuts the bytes of the control connection into lines and lines into replies. The bytes
// come from the server and are not trusted: a reply keeps at most ReplyBufferText bytes
// of text and the rest is dropped, but its end is still found, so the next reply is
// read correctly whatever came before.
class FtpReplyReader {
public:
    static constexpr qsizetype ReplyBufferText = 32768;

    // Takes any number of bytes; complete replies wait in arrival order for take().
    // Callers feed bounded chunks and take the replies before feeding more.
    void feed(QByteArrayView bytes);
    std::optional<FtpReply> take();
    void reset();

    bool inMultiLine() const { return multiLine_; }
    const QByteArray& multiLineTerm() const { return MultiLineTerm; }

private:
    void lineDone();

    QByteArray line_;
    QByteArray ReplyBuffer;
    bool multiLine_ = false;
    QByteArray MultiLineTerm;
    std::deque<FtpReply> ready_;
};

// The reply code of a line: its leading decimal digits within the first three
// characters; 0 when it does not start with a digit.
int replyCodeOf(QByteArrayView line);

} // namespace kr90x
