// The publisher's tool: a key pair, a signed manifest with the hashes of the folder's
// files, and its own check of a folder as the program would check it.
#include "core/IniText.h"
#include "update/Manifest.h"
#include "update/UpdateSignature.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class UpdateSignToolTest : public ::testing::Test {
protected:
    struct Run {
        int exitCode = -1;
        QByteArray output;
    };
    static Run tool(const QStringList& arguments) {
        QProcess p;
        p.start(KR90X_UPDATE_SIGN, arguments);
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitCode(), p.readAllStandardOutput()};
    }
    void write(const QString& name, const QByteArray& content) const {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& name) const {
        QFile f(folder.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray sha(const QByteArray& bytes) {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    }
    // A key pair in the temp folder; the public key's text.
    QByteArray keygen() {
        const Run run = tool({"keygen", secret()});
        EXPECT_EQ(run.exitCode, 0);
        return run.output.trimmed();
    }
    QString secret() const { return keys.filePath("update.key"); }

    QTemporaryDir keys;
    QTemporaryDir folder;
};

TEST_F(UpdateSignToolTest, KeygenWritesASecretOnlyItsOwnerReadsAndPrintsThePublicKey) {
    const QByteArray publicKey = keygen();
    EXPECT_TRUE(parsePublicKey(publicKey));
    QFile pub(secret() + ".pub");
    ASSERT_TRUE(pub.open(QIODevice::ReadOnly));
    EXPECT_EQ(pub.readAll().trimmed(), publicKey);
    EXPECT_EQ(QFile(secret()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    // Replacing the key would lock out every program that holds the old one.
    const QByteArray before = [&] {
        QFile f(secret());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_EQ(tool({"keygen", secret()}).exitCode, 1);
    QFile again(secret());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}

TEST_F(UpdateSignToolTest, SignWritesTheHashesOfTheFilesThereAndASignatureOfTheResult) {
    const QByteArray publicKey = keygen();
    const QByteArray program = "new program", firmware = ":00000001FF\n", flasher = "tool";
    write("version.ini", "; published\r\n[PC_Version]\r\nVersion=105\r\nSHA256=stale\r\n"
                         "[KR90X_Version]\r\nVersion=14\r\n");
    write("Orvo_KR90X.exe", program);
    write("OrvoKR90X.hex", firmware);
    write("OrvoFlash.exe", flasher);

    ASSERT_EQ(tool({"sign", secret(), folder.path()}).exitCode, 0);
    const QByteArray manifest = read("version.ini");
    EXPECT_EQ(iniValue(manifest, "PC_Version", "SHA256"), sha(program));
    EXPECT_EQ(iniValue(manifest, "KR90X_Version", "SHA256"), sha(firmware));
    EXPECT_EQ(iniValue(manifest, "OrvoFlash", "SHA256"), sha(flasher));
    EXPECT_TRUE(manifest.startsWith("; published\r\n[PC_Version]\r\nVersion=105\r\n"));
    EXPECT_EQ(verifyManifestSignature(manifest, read("version.ini.sig"), publicKey),
              SignatureVerdict::Valid);
    EXPECT_EQ(tool({"verify", publicKey, folder.path()}).exitCode, 0);

    // Signing again after a file changed replaces its key, and only it.
    write("OrvoKR90X.hex", ":00000001FE\n");
    EXPECT_EQ(tool({"verify", publicKey, folder.path()}).exitCode, 1);
    ASSERT_EQ(tool({"sign", secret(), folder.path()}).exitCode, 0);
    const QByteArray resigned = read("version.ini");
    EXPECT_EQ(resigned.count("SHA256="), 3);
    EXPECT_EQ(iniValue(resigned, "KR90X_Version", "SHA256"), sha(":00000001FE\n"));
    EXPECT_EQ(tool({"verify", publicKey, folder.path()}).exitCode, 0);
}

TEST_F(UpdateSignToolTest, VerifyRefusesAManifestChangedAfterSigningOrAnotherKey) {
    const QByteArray publicKey = keygen();
    write("version.ini", "[PC_Version]\r\nVersion=105\r\n");
    ASSERT_EQ(tool({"sign", secret(), folder.path()}).exitCode, 0);
    const Run otherKey = tool({"verify", keyText(makeKeyPair().first), folder.path()});
    EXPECT_EQ(otherKey.exitCode, 1);
    write("version.ini", read("version.ini").replace("105", "106"));
    EXPECT_EQ(tool({"verify", publicKey, folder.path()}).exitCode, 1);
    EXPECT_EQ(tool({"verify", "no key", folder.path()}).exitCode, 1);
    EXPECT_EQ(tool({"sign"}).exitCode, 2);
}

// Each signing gives a sequence one above the manifest's last and an expiry the given
// days ahead; verify refuses an expired manifest as the program would.
TEST_F(UpdateSignToolTest, SignCountsTheSequenceUpAndDatesTheManifest) {
    const QByteArray publicKey = keygen();
    write("version.ini", "[PC_Version]\r\nVersion=105\r\n");
    ASSERT_EQ(tool({"sign", secret(), folder.path()}).exitCode, 0);
    const Manifest first = parseManifest(read("version.ini"));
    EXPECT_EQ(first.Sequence, 1u);
    ASSERT_TRUE(first.Expires);
    const qint64 days = QDateTime::currentDateTimeUtc().daysTo(*first.Expires);
    EXPECT_TRUE(days == 89 || days == 90) << days;

    ASSERT_EQ(tool({"sign", "--valid-days", "7", secret(), folder.path()}).exitCode, 0);
    const Manifest second = parseManifest(read("version.ini"));
    EXPECT_EQ(second.Sequence, 2u);
    ASSERT_TRUE(second.Expires);
    EXPECT_LE(QDateTime::currentDateTimeUtc().daysTo(*second.Expires), 7);
    EXPECT_EQ(read("version.ini").count("Sequence="), 1);
    EXPECT_EQ(tool({"verify", publicKey, folder.path()}).exitCode, 0);

    for (const char* days : {"0", "-1", "3661", "x"}) {
        EXPECT_EQ(tool({"sign", "--valid-days", days, secret(), folder.path()}).exitCode, 2)
            << days;
    }
    // A sequence nobody can count up from is the publisher's to set.
    write("version.ini", "[Freshness]\r\nSequence=many\r\n");
    EXPECT_EQ(tool({"sign", secret(), folder.path()}).exitCode, 1);

    // Signed by hand with an expiry that has passed: verify says so.
    const QByteArray expired = "[PC_Version]\r\nVersion=105\r\n[Freshness]\r\nSequence="
                               "3\r\nExpires=2020-01-01T00:00:00Z\r\n";
    write("version.ini", expired);
    QFile key(secret());
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    write("version.ini.sig", signDetached(expired, *parseSecretKey(key.readAll())));
    const Run verify = tool({"verify", publicKey, folder.path()});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_TRUE(verify.output.contains("caducó")) << verify.output.constData();
}

} // namespace
