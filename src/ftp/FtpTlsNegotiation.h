#pragma once

#include "ftp/FtpTypes.h"

#include <QByteArray>

namespace kr90x {

// The steps between the server's greeting and USER when TLS is wanted: AUTH TLS, the
// handshake, PBSZ 0 and PROT P (RFC 4217). Only reply codes drive it; the socket work is
// the client's.
class FtpTlsNegotiation {
public:
    enum class Next { Nothing, SendAuth, StartHandshake, SendPbsz, SendProt, SendUser, Fail };

    explicit FtpTlsNegotiation(FtpTls mode = FtpTls::Off) : mode_(mode) {}

    // After the greeting: AUTH TLS, or USER at once when TLS is off.
    Next greeted();
    // A reply while negotiating() (to AUTH, PBSZ or PROT).
    Next reply(int code);
    // The control connection's handshake has finished.
    Next encrypted();

    // A TLS command or the handshake is outstanding: nothing else may be sent.
    bool negotiating() const;
    bool controlProtected() const { return controlProtected_; }
    bool dataProtected() const { return dataProtected_; }
    // Why the negotiation failed, after Fail.
    const QByteArray& failure() const { return failure_; }

private:
    enum class Step { Idle, AuthSent, Handshake, PbszSent, ProtSent, Done };

    Next refused(const char* what, int code);

    FtpTls mode_;
    Step step_ = Step::Idle;
    bool controlProtected_ = false;
    bool dataProtected_ = false;
    QByteArray failure_;
};

} // namespace kr90x
