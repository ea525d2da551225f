// Arbitrary reply text for the parsers of the 227, 150 and 257 replies.
#include "ftp/FtpReplyText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto pasv = kr90x::parsePasvReply(text)) {
        if (pasv->port < 0 || pasv->port > 65535) {
            std::abort();
        }
        for (int h : pasv->host) {
            if (h < 0 || h > 255) {
                std::abort();
            }
        }
    }
    if (const auto announced = kr90x::parseAnnouncedSize(text); announced && *announced < 0) {
        std::abort();
    }
    if (kr90x::quotedDirectory(text).size() > text.size()) {
        std::abort();
    }
    return 0;
}
