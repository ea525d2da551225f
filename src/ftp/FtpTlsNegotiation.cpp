#include "ftp/FtpTlsNegotiation.h"

namespace kr90x {

FtpTlsNegotiation::Next FtpTlsNegotiation::greeted() {
    if (mode_ == FtpTls::Off) {
        step_ = Step::Done;
        return Next::SendUser;
    }
    step_ = Step::AuthSent;
    return Next::SendAuth;
}

bool FtpTlsNegotiation::negotiating() const {
    return step_ != Step::Idle && step_ != Step::Done;
}

FtpTlsNegotiation::Next FtpTlsNegotiation::refused(const char* what, int code) {
    failure_ = QByteArray("the server refused ") + what + " (" + QByteArray::number(code) + ")";
    step_ = Step::Done;
    return Next::Fail;
}

FtpTlsNegotiation::Next FtpTlsNegotiation::reply(int code) {
    switch (step_) {
    case Step::AuthSent:
        if (code == 234) {
            step_ = Step::Handshake;
            return Next::StartHandshake;
        }
        if (mode_ == FtpTls::Try && code >= 400) {
            step_ = Step::Done;
            return Next::SendUser; // a server without TLS: as before
        }
        return refused("AUTH TLS", code);
    case Step::PbszSent:
        if (code == 200) {
            step_ = Step::ProtSent;
            return Next::SendProt;
        }
        break;
    case Step::ProtSent:
        if (code == 200) {
            step_ = Step::Done;
            dataProtected_ = true;
            return Next::SendUser;
        }
        break;
    case Step::Handshake:
        // Nothing may come in clear once the handshake has begun.
        failure_ = "a reply came in the middle of the handshake";
        step_ = Step::Done;
        return Next::Fail;
    case Step::Idle:
    case Step::Done:
        return Next::Nothing;
    }
    // The control connection is protected already; with "try" the files may then come
    // in clear, as from a server without TLS.
    if (mode_ == FtpTls::Try && code >= 400) {
        step_ = Step::Done;
        return Next::SendUser;
    }
    return refused(step_ == Step::PbszSent ? "PBSZ 0" : "PROT P", code);
}

FtpTlsNegotiation::Next FtpTlsNegotiation::encrypted() {
    if (step_ != Step::Handshake) {
        return Next::Nothing;
    }
    step_ = Step::PbszSent;
    controlProtected_ = true;
    return Next::SendPbsz;
}

} // namespace kr90x
