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
    // The line that ended the reply (for a one-line reply the same as `text`): some
    // servers put what matters there, such as the address of a 227.
    QByteArray finalLine;
    // The reply's first line starts as an FTP reply does: three digits, then a blank, a
    // hyphen or the end of the line. A server that is not an FTP server fails this.
    bool wellFormed = false;
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
    bool openingWellFormed_ = false;
    std::deque<FtpReply> ready_;
};

// The reply code of a line: its leading decimal digits within the first three
// characters; 0 when it does not start with a digit.
int replyCodeOf(QByteArrayView line);
// Three digits followed by a blank, a hyphen or the line's end.
bool isWellFormedReplyLine(QByteArrayView line);

} // namespace kr90x
