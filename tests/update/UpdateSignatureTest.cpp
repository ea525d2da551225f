// The manifest's signature, the key texts and the SHA-256 keys: what each accepts, and
// that every way a signature can be wrong is refused.
#include "update/UpdateSignature.h"
#include "core/IniText.h"
#include "update/Sha256.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class SignatureTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::tie(publicKey, secretKey) = makeKeyPair();
        keyText_ = keyText(publicKey);
    }
    SignatureVerdict verdict(const QByteArray& m, const QByteArray& sig) const {
        return verifyManifestSignature(m, sig, keyText_);
    }

    const QByteArray manifest = "[PC_Version]\r\nVersion=105\r\n[KR90X_Version]\r\nVersion=14\r\n";
    QByteArray publicKey, secretKey, keyText_;
};

TEST_F(SignatureTest, OnlyTheSignatureOfTheExactBytesWithThisKeyIsValid) {
    const QByteArray sig = signDetached(manifest, secretKey);
    ASSERT_EQ(sig.size(), kSignatureBytes);
    EXPECT_EQ(verdict(manifest, sig), SignatureVerdict::Valid);

    QByteArray oneByteChanged = manifest;
    oneByteChanged[oneByteChanged.indexOf("105") + 2] = '6'; // 105 becomes 106
    EXPECT_EQ(verdict(oneByteChanged, sig), SignatureVerdict::Invalid);
    EXPECT_EQ(verdict(manifest + "\n", sig), SignatureVerdict::Invalid);
    EXPECT_EQ(verdict(manifest, signDetached("[PC_Version]\r\nVersion=104\r\n", secretKey)),
              SignatureVerdict::Invalid);
    QByteArray flipped = sig;
    flipped[kSignatureBytes / 2] = char(flipped[kSignatureBytes / 2] ^ 1);
    EXPECT_EQ(verdict(manifest, flipped), SignatureVerdict::Invalid);
    const auto [otherPublic, otherSecret] = makeKeyPair();
    EXPECT_EQ(verdict(manifest, signDetached(manifest, otherSecret)), SignatureVerdict::Invalid);
}

TEST_F(SignatureTest, ASignatureFileOfAnyOtherLengthIsRefusedByItsLength) {
    const QByteArray sig = signDetached(manifest, secretKey);
    EXPECT_EQ(verdict(manifest, {}), SignatureVerdict::Empty);
    EXPECT_EQ(verdict(manifest, sig.first(kSignatureBytes - 1)), SignatureVerdict::WrongLength);
    // A line end after the bytes, or the signature written as base64, is not the format.
    EXPECT_EQ(verdict(manifest, sig + "\n"), SignatureVerdict::WrongLength);
    EXPECT_EQ(verdict(manifest, keyText(sig)), SignatureVerdict::WrongLength);
    EXPECT_EQ(verdict(manifest, QByteArray(kMaxSignatureFileBytes, 'x')),
              SignatureVerdict::WrongLength);
}

TEST_F(SignatureTest, AKeyTextThatIsNoKeyVerifiesNothing) {
    const QByteArray sig = signDetached(manifest, secretKey);
    for (const QByteArray& bad : {QByteArray(), keyText_.chopped(1), keyText_ + "A",
                                  keyText_.chopped(1) + "!", QByteArray("not a key at all")}) {
        EXPECT_EQ(verifyManifestSignature(manifest, sig, bad), SignatureVerdict::BadKey)
            << bad.data();
    }
    EXPECT_EQ(verifyManifestSignature(manifest, sig, "  " + keyText_ + "\r\n"),
              SignatureVerdict::Valid);
}

TEST(KeyTextTest, StandardBase64WithPaddingOfExactlyTheKeysBytes) {
    const QByteArray key(kPublicKeyBytes, '\xfb'); // base64 "+" and "/" and "=" padding
    const QByteArray text = keyText(key);
    EXPECT_EQ(text.size(), 44);
    ASSERT_TRUE(parsePublicKey(text));
    EXPECT_EQ(
        QByteArray(reinterpret_cast<const char*>(parsePublicKey(text)->data()), kPublicKeyBytes),
        key);
    QByteArray urlSafe = text;
    urlSafe.replace('+', '-').replace('/', '_');
    EXPECT_FALSE(parsePublicKey(urlSafe));
    EXPECT_FALSE(parsePublicKey(text.chopped(1)));                    // padding missing
    EXPECT_FALSE(parsePublicKey(text.left(20) + " " + text.mid(21))); // blank inside
    EXPECT_FALSE(parsePublicKey(keyText(QByteArray(kSecretKeyBytes, 'k'))));
    EXPECT_FALSE(parsePublicKey(key)); // the raw bytes
    // Found by fuzzing: libsodium alone decodes this byte as a letter.
    QByteArray highByte = text;
    highByte[18] = '\xcd';
    EXPECT_FALSE(parsePublicKey(highByte));
    // The last character before "=" carries two bits that must be zero.
    QByteArray padding = keyText(QByteArray(kPublicKeyBytes, '\0'));
    padding[42] = 'B';
    EXPECT_FALSE(parsePublicKey(padding));
    EXPECT_TRUE(parseSecretKey(keyText(QByteArray(kSecretKeyBytes, 'k'))));
    EXPECT_FALSE(parseSecretKey(text));
}

TEST(Sha256KeyTest, SixtyFourHexDigitsInEitherCaseAndNothingElse) {
    const QByteArray hex(64, 'a');
    EXPECT_TRUE(parseSha256Hex(hex));
    EXPECT_TRUE(parseSha256Hex(" " + hex.toUpper() + "\t"));
    EXPECT_FALSE(parseSha256Hex(hex.chopped(1)));
    EXPECT_FALSE(parseSha256Hex(hex + "a"));
    EXPECT_FALSE(parseSha256Hex(hex.chopped(1) + "g"));
    EXPECT_FALSE(parseSha256Hex("sha256:" + hex));
    EXPECT_FALSE(parseSha256Hex(""));
}

TEST(Sha256KeyTest, AFilesHashIsTheKnownOne) {
    QTemporaryDir dir;
    QFile f(dir.filePath("abc"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("abc");
    f.close();
    // FIPS 180-2, appendix B.1.
    const std::optional<Sha256Digest> digest = fileSha256(f.fileName());
    ASSERT_TRUE(digest);
    EXPECT_EQ(sha256Hex(*digest),
              QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_FALSE(fileSha256(dir.filePath("missing")));
}

// The publisher's tool writes the hash keys with this; the program reads them with
// iniValue, so the two must agree on where a key is.
TEST(IniWithValueTest, ReplacesTheKeyWhereTheReaderFindsItAndKeepsEverythingElse) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"[A]\r\nV=1\r\nK=old\r\n[B]\r\nK=b\r\n", "[A]\r\nV=1\r\nK=new\r\n[B]\r\nK=b\r\n"},
        {"[a]\nV=1\n[B]\n", "[a]\nK=new\nV=1\n[B]\n"},
        {"[B]\nK=b\n", "[B]\nK=b\n[A]\nK=new\n"},
        {"[B]\nK=b", "[B]\nK=b\n[A]\nK=new\n"},
        {"", "[A]\nK=new\n"},
        {"[A]", "[A]\nK=new\n"},
        {"\xEF\xBB\xBF[A]\r\n ; K=comment\r\n k = old \r\n",
         "\xEF\xBB\xBF[A]\r\n ; K=comment\r\nK=new\r\n"},
        // Only the first section of a name counts, for the reader as for the writer.
        {"[A]\nV=1\n[A]\nK=second\n", "[A]\nK=new\nV=1\n[A]\nK=second\n"},
    };
    for (const Case& c : cases) {
        const QByteArray out = iniWithValue(c.text, "A", "K", "new");
        EXPECT_EQ(out, QByteArray(c.expected)) << c.text;
        EXPECT_EQ(iniValue(out, "A", "K"), QByteArray("new")) << c.text;
    }
}

} // namespace
