// Arbitrary settings-file text: it is read whatever comes, every value it sets is one the
// text holds, and what it does not name keeps its value.
#include "update/UpdateConfig.h"
#include "update/UpdateSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    kr90x::UpdateSettings s;
    s.ServerAddress = QStringLiteral("kept.example");
    const bool password = kr90x::applyUpdateConfig(s, text);
    for (const QByteArray& value : {s.UserName, s.Password}) {
        if (!text.contains(QByteArrayView(value))) {
            std::abort();
        }
    }
    if (password != !s.Password.isEmpty()) {
        std::abort();
    }
    if (s.Port.trimmed().isEmpty()) {
        std::abort(); // an empty port would fail every login
    }
    if (s.ServerAddress != QStringLiteral("kept.example") && !text.contains("=")) {
        std::abort();
    }
    return 0;
}
