#pragma once

namespace kr90x {

// The replies still due for work the client ended on its own side while the server may
// still be at it: a transfer it stopped with ABOR, one whose data connection failed, a
// command it gave up on at its time-out. The client goes on at once; replies come in the
// order of the commands, so these come first and are dropped as they come. Taken for the
// answers to later commands, they would end those early, or end them twice.
class FtpLateReplies {
public:
    // The command last sent has not been answered.
    void commandUnanswered() { ++commands_; }
    // RETR's own final reply may still come.
    void transferEndMayCome() { transferEnd_ = true; }
    // ABOR was sent: its answer comes after RETR's final reply, if that comes at all.
    void abortSent() { abort_ = true; }

    // True when the reply is one of them, for the caller to drop.
    bool drop(int code);
    bool pending() const { return commands_ > 0 || transferEnd_ || abort_; }
    void clear() { *this = FtpLateReplies(); }

private:
    int commands_ = 0;
    bool transferEnd_ = false;
    bool abort_ = false;
};

} // namespace kr90x
