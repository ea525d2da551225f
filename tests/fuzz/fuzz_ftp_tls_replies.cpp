// Arbitrary bytes as the server's replies from the greeting on, through the reply reader
// into the TLS steps, under each setting: "off" never asks for TLS, and "required" never
// goes on to USER unless both connections are to be protected.
#include "ftp/FtpReplyReader.h"
#include "ftp/FtpTlsNegotiation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using kr90x::FtpTls;
using Next = kr90x::FtpTlsNegotiation::Next;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (FtpTls mode : {FtpTls::Off, FtpTls::Try, FtpTls::Required}) {
        kr90x::FtpReplyReader reader;
        reader.feed(
            QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        kr90x::FtpTlsNegotiation tls(mode);
        Next next = tls.greeted();
        bool userSent = next == Next::SendUser;
        while (auto reply = reader.take()) {
            next = tls.reply(reply->code);
            if (next == Next::StartHandshake) {
                next = tls.encrypted();
            }
            if (mode == FtpTls::Off && next != Next::Nothing) {
                std::abort();
            }
            if (next == Next::SendUser) {
                if (userSent || (mode == FtpTls::Required && !tls.dataProtected())) {
                    std::abort();
                }
                userSent = true;
            }
            if (tls.dataProtected() && !tls.controlProtected()) {
                std::abort();
            }
            if (next == Next::Fail && (tls.failure().isEmpty() || tls.negotiating())) {
                std::abort();
            }
        }
    }
    return 0;
}
