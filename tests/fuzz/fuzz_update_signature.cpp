// Arbitrary bytes as the texts and files of signed updates: a key's text, a SHA-256 key
// of the manifest, and a manifest with its signature file. Each parser takes only what it
// documents, gives back what it took, and no signature of random bytes verifies.
#include "update/Sha256.h"
#include "update/UpdateSignature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray trimmedText(QByteArrayView v) {
    return v.toByteArray().trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kr90x;
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QByteArray key = keyText(makeKeyPair().first);

    if (const auto publicKey = parsePublicKey(text)) {
        const QByteArrayView bytes(reinterpret_cast<const char*>(publicKey->data()),
                                   kPublicKeyBytes);
        if (keyText(bytes) != trimmedText(text)) {
            std::abort(); // only the canonical text of a key is one
        }
    }
    if (const auto secret = parseSecretKey(text); secret && secret->size() != kSecretKeyBytes) {
        std::abort();
    }
    if (const auto digest = parseSha256Hex(text)) {
        const QByteArray hex =
            QByteArray(reinterpret_cast<const char*>(digest->data()), kSha256Bytes).toHex();
        if (hex != trimmedText(text).toLower()) {
            std::abort();
        }
    }
    // The input's tail is the signature file, its head the manifest.
    const qsizetype split = text.size() > kSignatureBytes ? text.size() - kSignatureBytes : 0;
    const SignatureVerdict verdict =
        verifyManifestSignature(text.first(split), text.sliced(split), key);
    if (verdict == SignatureVerdict::Valid || verdict == SignatureVerdict::BadKey) {
        std::abort();
    }
    if ((verdict == SignatureVerdict::Empty) != text.sliced(split).isEmpty()) {
        std::abort();
    }
    return 0;
}
