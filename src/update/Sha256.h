#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace kr90x {

inline constexpr qsizetype kSha256Bytes = 32;

// A SHA-256 as its 32 bytes: parsed once from its text, compared as bytes.
using Sha256Digest = std::array<unsigned char, kSha256Bytes>;

// 64 hexadecimal digits, either case; blanks around them are passed over.
std::optional<Sha256Digest> parseSha256Hex(QByteArrayView text);
// Lower-case hexadecimal, as the publisher's tool writes it.
QByteArray sha256Hex(const Sha256Digest& digest);
// The bytes behind an open descriptor, from its first byte, whatever its offset; nullopt
// when they cannot be read.
std::optional<Sha256Digest> sha256OfDescriptor(int fd);
std::optional<Sha256Digest> fileSha256(const QString& path);

// What a manifest says of a file's hash: nothing, a text that is no SHA-256, or one.
struct NamedHash {
    bool named = false;
    std::optional<Sha256Digest> digest;

    static NamedHash fromText(const std::optional<QByteArray>& text);
    bool operator==(const NamedHash&) const = default;
};

} // namespace kr90x
