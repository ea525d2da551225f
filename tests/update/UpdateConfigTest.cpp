// The settings files of the update server and where the update files go.
#include "update/UpdateConfig.h"
#include "ftp/TFtpClient.h"
#include "support/WaitFor.h"
#include "update/UpdateSettings.h"
#include "update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace kr90x;

namespace {

class UpdateConfigTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& text,
                  QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                         QFileDevice::WriteOwner) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QFile::setPermissions(path, permissions);
        return path;
    }
};

TEST_F(UpdateConfigTest, EachFileOverridesTheKeysItGivesAndTheUserFileComesLast) {
    UpdateSettings s = UpdateSettings::fromBuild(dir.path());
    s.ServerAddress = "build.example";
    s.UserName = "builduser";
    applyUpdateConfigFile(s, write("system.conf", "[Server]\nHost=system.example\nPort=2121\n"
                                                  "User=workshop\nPassword=secret\n"));
    applyUpdateConfigFile(s, write("user.conf", "; mine\n[server]\nHOST = mine.example \n"
                                                "[Other]\nUser=not this one\n"));
    applyUpdateConfigFile(s, dir.filePath("missing.conf"));
    EXPECT_EQ(s.ServerAddress, "mine.example");
    EXPECT_EQ(s.Port, "2121");
    EXPECT_EQ(s.UserName, "workshop");
    EXPECT_EQ(s.Password, "secret");
    // The remote tree is named after the host actually used.
    EXPECT_EQ(s.remotePath("version.ini"), "/mine.example/KR90X/version.ini");
    EXPECT_TRUE(s.Warnings.isEmpty());
}

TEST_F(UpdateConfigTest, PasswordOthersMayReadIsWarnedAbout) {
    UpdateSettings s;
    const auto worldReadable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ReadGroup | QFileDevice::ReadOther;
    applyUpdateConfigFile(s, write("open.conf", "[Server]\nHost=h\n", worldReadable));
    EXPECT_TRUE(s.Warnings.isEmpty()) << "no password in it";
    applyUpdateConfigFile(s, write("group.conf", "[Server]\nPassword=p\n",
                                   QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_TRUE(s.Warnings.isEmpty()) << "a group the administrator chose may read it";
    const QString path = write("secret.conf", "[Server]\nPassword=p\n", worldReadable);
    applyUpdateConfigFile(s, path);
    ASSERT_EQ(s.Warnings.size(), 1);
    EXPECT_TRUE(s.Warnings[0].contains(path));
}

TEST_F(UpdateConfigTest, HostileTextChangesOnlyWhatItNamesAndNeverPastItsBound) {
    UpdateSettings s;
    s.ServerAddress = "kept";
    applyUpdateConfig(s, QByteArray("\xEF\xBB\xBF[Server\nHost=no section\n[Server]\nPort=\n"
                                    "Password\nUser=a=b\n\0\xff\n",
                                    60));
    EXPECT_EQ(s.ServerAddress, "kept");
    EXPECT_EQ(s.Port, "ftp"); // an empty port is the FTP port
    EXPECT_EQ(s.UserName, "a=b");
    // A key beyond the first 64 KiB of a file is not read.
    const QString big = write("big.conf", "[Server]\n" + QByteArray(70000, ';') + "\nHost=far\n");
    applyUpdateConfigFile(s, big);
    EXPECT_EQ(s.ServerAddress, "kept");
}

TEST_F(UpdateConfigTest, AKeyCanBeReplacedButNotTakenAwayAndTlsIsConfiguredToo) {
    const QByteArray systemKey = keyText(makeKeyPair().first);
    const QByteArray userKey = keyText(makeKeyPair().first);
    UpdateSettings s;
    applyUpdateConfigFile(
        s, write("system.conf", "[Server]\nPublicKey = " + systemKey + "\nTls=Required\nCaFile=" +
                                    QFile::encodeName(write("ca.pem", "")) + "\n"));
    EXPECT_EQ(s.PublicKey, systemKey);
    EXPECT_EQ(s.Tls, FtpTls::Required);
    // A CA file that holds no certificate would refuse every server: say so.
    ASSERT_EQ(s.Warnings.size(), 1);
    EXPECT_TRUE(s.Warnings[0].contains("CaFile")) << s.Warnings[0].toStdString();

    applyUpdateConfigFile(s, write("user.conf", "[Server]\nPublicKey=\nTls=try\nCaFile=\n"));
    EXPECT_EQ(s.PublicKey, systemKey); // an empty key removes nothing
    EXPECT_EQ(s.Tls, FtpTls::Try);
    EXPECT_TRUE(s.CaFile.isEmpty());
    applyUpdateConfigFile(s, write("user2.conf", "[Server]\nPublicKey=" + userKey + "\n"));
    EXPECT_EQ(s.PublicKey, userKey);
    EXPECT_EQ(s.Warnings.size(), 1);
}

TEST_F(UpdateConfigTest, SecuritySettingsThatMakeNoSenseErrOnTheSafeSide) {
    UpdateSettings s;
    applyUpdateConfig(s, "[Server]\nPublicKey=c2VjcmV0\nTls=yes\nCaFile=/dev/zero\n");
    // A key that is none is kept: it verifies nothing, so nothing is installed.
    EXPECT_EQ(s.PublicKey, "c2VjcmV0");
    EXPECT_EQ(s.Tls, FtpTls::Required);
    ASSERT_EQ(s.Warnings.size(), 3);
    EXPECT_TRUE(s.Warnings[0].contains("PublicKey"));
    EXPECT_TRUE(s.Warnings[1].contains("required"));
    EXPECT_TRUE(s.Warnings[2].contains("/dev/zero")); // not read: it never ends
    TFtpClient client;
    s.configure(client);
    EXPECT_EQ(client.Tls, FtpTls::Required);
    EXPECT_EQ(client.CaFile, "/dev/zero");
}

TEST_F(UpdateConfigTest, TheUsersFileFollowsXdgConfigHome) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    const QStringList files = updateConfigFiles();
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(files,
              (QStringList{"/etc/orvo-kr90x/update.conf", dir.filePath("orvo-kr90x/update.conf")}));
}

class DownloadPlaceTest : public UpdateConfigTest {
protected:
    QString data() const { return dir.filePath("data/orvo-kr90x"); }
};

TEST_F(DownloadPlaceTest, ProgramThatUpdatesItselfKeepsEverythingBesideIt) {
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.placeDownloads(true, data());
    EXPECT_FALSE(s.SelfUpdateBlocked);
    EXPECT_EQ(s.localPath("OrvoFlash.exe"), dir.filePath("OrvoFlash.exe"));
    EXPECT_FALSE(QFileInfo::exists(data()));
}

TEST_F(DownloadPlaceTest, PackagedProgramPutsItsDownloadsInTheDataFolder) {
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.placeDownloads(false, data());
    ASSERT_TRUE(s.SelfUpdateBlocked);
    EXPECT_EQ(s.localPath("OrvoFlash.exe"), data() + "/OrvoFlash.exe");
    EXPECT_EQ(s.localPath("OrvoKR90X.hex"), data() + "/OrvoKR90X.hex");
    EXPECT_EQ(s.localPath("version.ini"), data() + "/version.ini");
    EXPECT_EQ(s.localPath("Orvo_KR90X.exe"), dir.filePath("Orvo_KR90X.exe"));
    EXPECT_TRUE(QFileInfo(data()).isDir());
}

TEST_F(DownloadPlaceTest, ProgramFolderWeMayNotWriteIsNoPlaceForUpdates) {
    UpdateSettings missing;
    missing.ProgramDirectory = dir.filePath("no/such/folder");
    missing.placeDownloads(true, data());
    ASSERT_TRUE(missing.SelfUpdateBlocked);
    EXPECT_TRUE(missing.SelfUpdateBlocked->contains(missing.ProgramDirectory));
    EXPECT_EQ(missing.localPath("OrvoFlash.exe"), data() + "/OrvoFlash.exe");

    // Root may write any folder whatever its mode: the case exists for other users only.
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only folders";
    }
    QDir(dir.path()).mkpath("usr-bin");
    QFile::setPermissions(dir.filePath("usr-bin"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    UpdateSettings readOnly;
    readOnly.ProgramDirectory = dir.filePath("usr-bin");
    readOnly.placeDownloads(true, data());
    EXPECT_TRUE(readOnly.SelfUpdateBlocked);
    QFile::setPermissions(dir.filePath("usr-bin"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

// The real starter runs a program in its own folder (the flashing tool finds the firmware
// beside it), not in the folder the program was started in.
TEST(StartDetachedProgram, RunsTheProgramInItsOwnFolder) {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("OrvoFlash.exe"));
    QFile script(tool);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\npwd > \"$1.part\" && mv \"$1.part\" \"$1\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString said = QDir::temp().filePath(QStringLiteral("kr90x-pwd-%1").arg(getpid()));
    QFile::remove(said);
    startDetachedProgram(tool, {said});
    QFile out(said);
    ASSERT_TRUE(kr90x::test::waitFor([&] { return out.exists(); }, 10000));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(out.readAll()).trimmed(),
              QFileInfo(dir.path()).canonicalFilePath());
    out.remove();
}
