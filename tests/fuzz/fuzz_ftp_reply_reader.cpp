// Arbitrary bytes on the control connection, cut into chunks at places the input itself
// chooses: the reader must never hold more than its buffer and never lose its place.
#include "ftp/FtpReplyReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kr90x::FtpReplyReader reader;
    const char* p = reinterpret_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        const size_t chunk = 1 + static_cast<size_t>(static_cast<unsigned char>(p[0])) * 37 % left;
        reader.feed(QByteArrayView(p, static_cast<qsizetype>(chunk)));
        p += chunk;
        left -= chunk;
        while (auto reply = reader.take()) {
            if (reply->text.size() > kr90x::FtpReplyReader::ReplyBufferText ||
                reply->finalLine.size() > kr90x::FtpReplyReader::ReplyBufferText ||
                reply->code < 0 || reply->code > 999) {
                std::abort();
            }
            // The reply's text starts with its opening line, which says whether it is FTP.
            if (reply->wellFormed != kr90x::isWellFormedReplyLine(reply->text)) {
                std::abort();
            }
        }
    }
    return 0;
}
