// Arbitrary records.conf text: it is read whatever comes, TLS is never weaker than the
// text asks, a port is a port, and what the text does not name keeps its value.
#include "records/StoreLocation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    kr90x::records::StoreLocation l;
    l.host = QStringLiteral("kept.example");
    const bool password = kr90x::records::applyRecordsConfig(l, text);
    if (password != !l.password.isEmpty()) {
        std::abort();
    }
    if (l.port < 0 || l.port > 65535) {
        std::abort();
    }
    // A mode given is one of libpq's, never one it would refuse or read otherwise.
    static const QStringList modes{QString(),          QStringLiteral("disable"),
                                   QStringLiteral("allow"),   QStringLiteral("prefer"),
                                   QStringLiteral("require"), QStringLiteral("verify-ca"),
                                   QStringLiteral("verify-full")};
    if (!modes.contains(l.sslMode)) {
        std::abort();
    }
    if (l.host != QStringLiteral("kept.example") && !text.contains("=")) {
        std::abort();
    }
    return 0;
}
