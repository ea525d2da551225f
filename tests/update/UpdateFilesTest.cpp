// Putting downloads in place and copying them for use: the bytes used are the bytes
// checked, whatever happens to the file's name between the check and the use.
#include "update/UpdateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace kr90x;

namespace {

QByteArray hexOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

NamedHash hashOf(const QByteArray& bytes) {
    return NamedHash::fromText(hexOf(bytes));
}

InstallRules rules(NamedHash hash, bool signedOnly, bool executable = false,
                   bool mayBeEmpty = false) {
    return {std::move(hash), executable, mayBeEmpty, signedOnly, {}};
}

class UpdateFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    QString target() const { return path("OrvoKR90X.hex"); }
    void put(const QString& name, const QByteArray& content) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& name) {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList files() { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    InstallOutcome install(const QByteArray& part, const InstallRules& rules) {
        put("OrvoKR90X.hex.part", part);
        return installDownload(target(), rules);
    }
};

} // namespace

TEST_F(UpdateFilesTest, WholeFileReplacesThePreviousOneAndNoPartIsLeft) {
    put("OrvoKR90X.hex", "previous");
    // Upper case, as a manifest may write it: the digest is compared as bytes.
    EXPECT_TRUE(
        install("abc", rules(NamedHash::fromText(hexOf("abc").toUpper()), true, true)).installed());
    EXPECT_EQ(read("OrvoKR90X.hex"), QByteArray("abc"));
    EXPECT_TRUE(QFileInfo(target()).permissions() & QFileDevice::ExeOwner);
    EXPECT_EQ(files(), QStringList{"OrvoKR90X.hex"});
}

TEST_F(UpdateFilesTest, RefusedDownloadsAreDeletedAndSaySo) {
    put("OrvoKR90X.hex", "previous");
    const InstallOutcome mismatch = install("abc", rules(NamedHash::fromText("00"), false));
    EXPECT_EQ(mismatch.result, InstallResult::HashMismatch);
    EXPECT_EQ(notInstalledLine(files::Firmware, mismatch),
              "SHA256 incorrecto, borrado: OrvoKR90X.hex");
    const InstallOutcome empty = install({}, {});
    EXPECT_EQ(empty.result, InstallResult::Empty);
    EXPECT_EQ(notInstalledLine(files::Firmware, empty), "Fichero vacío, borrado: OrvoKR90X.hex");
    EXPECT_EQ(files(), QStringList{"OrvoKR90X.hex"});
    EXPECT_EQ(read("OrvoKR90X.hex"), QByteArray("previous"));
    EXPECT_TRUE(install({}, rules({}, false, false, true)).installed()); // an empty manifest
}

// Every digit of the hash counts, the last one as much as the first; and signed, a
// download the manifest names no hash for is never installed, whatever it holds.
TEST_F(UpdateFilesTest, AHashThatDiffersAnywhereAndAMissingOneWhenSignedAreRefused) {
    QByteArray tail = hexOf("abc");
    tail[63] = tail[63] == '0' ? '1' : '0';
    QByteArray head = hexOf("abc");
    head[0] = head[0] == '0' ? '1' : '0';
    for (const QByteArray& wrong : {tail, head}) {
        EXPECT_EQ(install("abc", rules(NamedHash::fromText(wrong), true)).result,
                  InstallResult::HashMismatch);
    }
    for (const NamedHash& none : {NamedHash(), NamedHash::fromText("no hash")}) {
        const InstallOutcome missing = install("abc", rules(none, true));
        EXPECT_EQ(missing.result, InstallResult::HashMissing);
        EXPECT_EQ(notInstalledLine(files::Firmware, missing),
                  "version.ini no da su SHA256, borrado: OrvoKR90X.hex");
    }
    EXPECT_TRUE(files().isEmpty());
    // Unsigned and named by no manifest, a download goes in as it always did.
    EXPECT_TRUE(install("abc", {}).installed());
}

// Bytes renamed over the part after its check would be the ones renamed into place.
TEST_F(UpdateFilesTest, FileRenamedOverThePartBetweenCheckAndRenameIsRefused) {
    put("OrvoKR90X.hex", "previous");
    put("forged", "forged");
    InstallRules checked = rules(hashOf("genuine"), true);
    checked.betweenCheckAndUse = [this] {
        ASSERT_TRUE(::rename(QFile::encodeName(path("forged")).constData(),
                             QFile::encodeName(path("OrvoKR90X.hex.part")).constData()) == 0);
    };
    const InstallOutcome outcome = install("genuine", checked);
    EXPECT_EQ(outcome.result, InstallResult::HashMismatch);
    EXPECT_TRUE(files().isEmpty()) << files().join(' ').toStdString();
}

TEST_F(UpdateFilesTest, PartThatIsASymbolicLinkIsNotFollowed) {
    put("elsewhere", "abc");
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("OrvoKR90X.hex.part")));
    EXPECT_FALSE(installDownload(target(), rules(hashOf("abc"), true)).installed());
    EXPECT_FALSE(QFileInfo::exists(target()));
    EXPECT_EQ(read("elsewhere"), QByteArray("abc"));
}

TEST_F(UpdateFilesTest, RenameThatFailsGivesTheSystemsReason) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("OrvoKR90X.hex/inside")); // a folder holds the name
    const InstallOutcome failed = install("abc", {});
    EXPECT_EQ(failed.result, InstallResult::Failed);
    EXPECT_EQ(notInstalledLine(files::Firmware, failed),
              "Error al instalar OrvoKR90X.hex: " + QString(std::strerror(EISDIR)));
    EXPECT_FALSE(QFileInfo::exists(path("OrvoKR90X.hex.part")));
}

// The copy is what runs: it is checked as made, private to its owner, and a change of
// the original afterwards does not reach it.
TEST_F(UpdateFilesTest, CopyIsKeptOnlyWhenItsOwnBytesPassAndIsPrivate) {
    put("OrvoFlash.exe", "tool");
    QTemporaryDir handOff;
    const QString copy = handOff.filePath("OrvoFlash.exe");
    const InstallRules tool = rules(hashOf("tool"), true, true);
    ASSERT_TRUE(copyVerified(path("OrvoFlash.exe"), copy, tool).installed());
    put("OrvoFlash.exe", "swapped");
    QFile copied(copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("tool"));
    EXPECT_EQ(copied.permissions() &
                  ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString second = handOff.filePath("again");
    const InstallOutcome refused = copyVerified(path("OrvoFlash.exe"), second, tool);
    EXPECT_EQ(refused.result, InstallResult::HashMismatch);
    EXPECT_FALSE(QFileInfo::exists(second));
    // An existing copy is never written through: the name must be new.
    EXPECT_EQ(copyVerified(path("OrvoFlash.exe"), copy, {}).result, InstallResult::Failed);
    EXPECT_EQ(copyVerified(path("missing"), second, {}).result, InstallResult::Failed);
}
