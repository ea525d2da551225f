#include "update/UpdateSignature.h"

#include <sodium.h>

#include <stdexcept>
#include <vector>

namespace kr90x {
namespace {

static_assert(kPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(kSecretKeyBytes == crypto_sign_SECRETKEYBYTES);
static_assert(kSignatureBytes == crypto_sign_BYTES);

// sodium_init picks the fastest implementations once; it is safe to call again.
void needSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) {
        throw std::runtime_error("libsodium cannot start");
    }
}

// Strict base64 of exactly `size` bytes; the text's length is checked before libsodium
// sees it, so no input makes it work long.
std::optional<std::vector<unsigned char>> base64Bytes(QByteArrayView text, qsizetype size) {
    text = text.trimmed();
    const qsizetype encodedSize = (size + 2) / 3 * 4;
    if (text.size() != encodedSize) {
        return std::nullopt;
    }
    needSodium();
    std::vector<unsigned char> out(static_cast<size_t>(size));
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out.data(), out.size(), text.data(), static_cast<size_t>(text.size()),
                          nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != out.size() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    // libsodium 1.0.18 decodes some bytes above 127 as letters, and takes padding bits
    // that are not zero: only the one text that encodes the key is that key.
    if (keyText(QByteArrayView(reinterpret_cast<const char*>(out.data()), size)) != text) {
        return std::nullopt;
    }
    return out;
}

} // namespace

std::optional<UpdatePublicKey> parsePublicKey(QByteArrayView text) {
    const auto bytes = base64Bytes(text, kPublicKeyBytes);
    if (!bytes) {
        return std::nullopt;
    }
    UpdatePublicKey key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    return key;
}

std::optional<QByteArray> parseSecretKey(QByteArrayView text) {
    const auto bytes = base64Bytes(text, kSecretKeyBytes);
    if (!bytes) {
        return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()), kSecretKeyBytes);
}

QByteArray keyText(QByteArrayView keyBytes) {
    needSodium();
    const size_t size = sodium_base64_encoded_len(static_cast<size_t>(keyBytes.size()),
                                                  sodium_base64_VARIANT_ORIGINAL);
    QByteArray out(static_cast<qsizetype>(size), '\0');
    sodium_bin2base64(out.data(), size, reinterpret_cast<const unsigned char*>(keyBytes.data()),
                      static_cast<size_t>(keyBytes.size()), sodium_base64_VARIANT_ORIGINAL);
    out.chop(1); // its terminating zero
    return out;
}

SignatureVerdict verifyManifestSignature(QByteArrayView manifest, QByteArrayView signatureFile,
                                         QByteArrayView publicKeyText) {
    const std::optional<UpdatePublicKey> key = parsePublicKey(publicKeyText);
    if (!key) {
        return SignatureVerdict::BadKey;
    }
    if (signatureFile.isEmpty()) {
        return SignatureVerdict::Empty;
    }
    if (signatureFile.size() != kSignatureBytes) {
        return SignatureVerdict::WrongLength;
    }
    needSodium();
    const bool valid = crypto_sign_verify_detached(
                           reinterpret_cast<const unsigned char*>(signatureFile.data()),
                           reinterpret_cast<const unsigned char*>(manifest.data()),
                           static_cast<unsigned long long>(manifest.size()), key->data()) == 0;
    return valid ? SignatureVerdict::Valid : SignatureVerdict::Invalid;
}

QString signatureProblem(SignatureVerdict verdict) {
    switch (verdict) {
    case SignatureVerdict::Valid:
        return {};
    case SignatureVerdict::Empty:
        return QStringLiteral("version.ini.sig está vacío");
    case SignatureVerdict::WrongLength:
        return QStringLiteral("version.ini.sig no tiene 64 bytes");
    case SignatureVerdict::Invalid:
        return QStringLiteral("la firma no corresponde a version.ini");
    case SignatureVerdict::BadKey:
        return QStringLiteral("la clave pública configurada no es válida");
    }
    return {};
}

std::pair<QByteArray, QByteArray> makeKeyPair() {
    needSodium();
    QByteArray publicKey(kPublicKeyBytes, '\0');
    QByteArray secretKey(kSecretKeyBytes, '\0');
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(publicKey.data()),
                        reinterpret_cast<unsigned char*>(secretKey.data()));
    return {publicKey, secretKey};
}

QByteArray signDetached(QByteArrayView message, QByteArrayView secretKey) {
    if (secretKey.size() != kSecretKeyBytes) {
        throw std::invalid_argument("not a secret key");
    }
    needSodium();
    QByteArray signature(kSignatureBytes, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()),
                         static_cast<unsigned long long>(message.size()),
                         reinterpret_cast<const unsigned char*>(secretKey.data()));
    return signature;
}

} // namespace kr90x
