#include "update/Sha256.h"

#include <QFile>

#include <sodium.h>

#include <cerrno>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace kr90x {
namespace {

static_assert(kSha256Bytes == crypto_hash_sha256_BYTES);

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<Sha256Digest> parseSha256Hex(QByteArrayView text) {
    text = text.trimmed();
    if (text.size() != 2 * kSha256Bytes) {
        return std::nullopt;
    }
    Sha256Digest digest{};
    for (qsizetype i = 0; i < kSha256Bytes; ++i) {
        const int high = hexDigit(text[2 * i]);
        const int low = hexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        digest[static_cast<size_t>(i)] = static_cast<unsigned char>(high << 4 | low);
    }
    return digest;
}

QByteArray sha256Hex(const Sha256Digest& digest) {
    return QByteArray(reinterpret_cast<const char*>(digest.data()), kSha256Bytes).toHex();
}

// pread, not read: the descriptor's offset is left alone, and the bytes hashed are the
// file's from the start even when somebody else has read from it.
std::optional<Sha256Digest> sha256OfDescriptor(int fd) {
    if (fd < 0 || sodium_init() < 0) {
        return std::nullopt;
    }
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<unsigned char> block(1 << 16);
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, block.data(), block.size(), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        crypto_hash_sha256_update(&state, block.data(), static_cast<unsigned long long>(n));
        offset += n;
    }
    Sha256Digest digest{};
    crypto_hash_sha256_final(&state, digest.data());
    return digest;
}

std::optional<Sha256Digest> fileSha256(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return sha256OfDescriptor(file.handle());
}

NamedHash NamedHash::fromText(const std::optional<QByteArray>& text) {
    if (!text) {
        return {};
    }
    return {true, parseSha256Hex(*text)};
}

} // namespace kr90x
