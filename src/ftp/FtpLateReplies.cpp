#include "ftp/FtpLateReplies.h"

namespace kr90x {

namespace {

// The replies that end a transfer, and the answers to an ABOR; no other command gets one.
bool endsATransfer(int code) {
    return code == 225 || code == 226 || code == 250 || code == 425 || code == 426 || code == 451;
}

bool failsATransfer(int code) {
    return code == 425 || code == 426 || code == 451;
}

} // namespace

bool FtpLateReplies::drop(int code) {
    if (!pending()) {
        return false;
    }
    // The server ends the session: that is the client's to act on, whatever was due.
    if (code == 221 || code == 421) {
        clear();
        return false;
    }
    if (code < 200) {
        return true; // a final reply still follows
    }
    if (commands_ > 0) {
        --commands_;
        return true;
    }
    if (abort_) {
        // A transfer the server was still running ends with 426, and then ABOR gets its
        // answer (RFC 959).
        if (failsATransfer(code)) {
            transferEnd_ = false;
            return true;
        }
        // Any other reply answers the ABOR. A 226 or 250 may also be the transfer's own
        // end, with the answer to ABOR still to come.
        abort_ = false;
        transferEnd_ = transferEnd_ && (code == 226 || code == 250);
        return true;
    }
    // The reply after the data connection failed: the transfer's late end, or the answer
    // to the next command, which never ends a transfer.
    transferEnd_ = false;
    return endsATransfer(code);
}

} // namespace kr90x
