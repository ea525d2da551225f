#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace kr90x {

// The publisher signs "version.ini" with an Ed25519 secret key; the program holds the
// public key and trusts a manifest only with a valid detached signature of its exact
// bytes, in "version.ini.sig". The cryptography is libsodium's.

inline constexpr qsizetype kPublicKeyBytes = 32;
inline constexpr qsizetype kSecretKeyBytes = 64;
inline constexpr qsizetype kSignatureBytes = 64;
// More than any signature file needs: a larger one is not fetched whole, and its
// length alone refuses it.
inline constexpr qint64 kMaxSignatureFileBytes = 4096;

using UpdatePublicKey = std::array<unsigned char, kPublicKeyBytes>;

// A key's text: standard base64 with its padding of the key's bytes (44 characters for a
// public key, 88 for a secret one); blanks around it are passed over, nothing else is.
std::optional<UpdatePublicKey> parsePublicKey(QByteArrayView text);
std::optional<QByteArray> parseSecretKey(QByteArrayView text);
QByteArray keyText(QByteArrayView keyBytes);

enum class SignatureVerdict { Valid, Empty, WrongLength, Invalid, BadKey };

// The signature file holds the 64 signature bytes as they are, nothing before or after.
SignatureVerdict verifyManifestSignature(QByteArrayView manifest, QByteArrayView signatureFile,
                                         QByteArrayView publicKeyText);
// What a refused signature tells the log.
QString signatureProblem(SignatureVerdict verdict);

// Makes a key pair (public key, secret key), or signs: for the publisher's tool.
std::pair<QByteArray, QByteArray> makeKeyPair();
QByteArray signDetached(QByteArrayView message, QByteArrayView secretKey);

} // namespace kr90x
