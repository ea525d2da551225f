// The file rules of the close, on a temp program folder without any client connected.
#include "update/ShutdownHousekeeping.h"
#include "update/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

class ShutdownHousekeepingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    int beeps = 0;

    void run() {
        UpdateSettings s;
        s.ProgramDirectory = dir.path();
        ShutdownHousekeeping(s, [this] { ++beeps; })
            .run({{nullptr, files::NewProgram},
                  {nullptr, files::Flasher},
                  {nullptr, files::Firmware}});
    }
    void put(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString& name) { return QFileInfo::exists(dir.filePath(name)); }
    QStringList files() { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
};

} // namespace

TEST_F(ShutdownHousekeepingTest, RunWithoutDownloadDeletesOnlyManifestFirmwareAndLeftovers) {
    put("Orvo_KR90X.exe", "program");
    put("OrvoFlash.exe", "tool");
    put("version.ini", "manifest");
    put("OrvoKR90X.hex", "firmware");
    put("OrvoFlash.exe.part", "half a tool");
    put("OrvoKR90X.hex.part", "half a firmware");
    put("Orvo_KR90X_Nuevo.exe.part", "half a program");
    run();
    EXPECT_EQ(files(), (QStringList{"OrvoFlash.exe", "Orvo_KR90X.exe"}));
    EXPECT_EQ(beeps, 0);
}

TEST_F(ShutdownHousekeepingTest, NewProgramReplacesTheRunningOneAndTheOldCopyGoes) {
    put("Orvo_KR90X.exe", "program");
    put("Orvo_KR90X_old.exe", "older");
    put("Orvo_KR90X_Nuevo.exe", "new");
    run();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(files(), QStringList{"Orvo_KR90X.exe"});
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("Orvo_KR90X.exe")).permissions() & QFileDevice::ExeOwner);
}

TEST_F(ShutdownHousekeepingTest, ProgramOfAnotherNameGetsTheNewOneBesideIt) {
    put("kr90x", "running under another name");
    put("Orvo_KR90X_Nuevo.exe", "new");
    run();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(files(), (QStringList{"Orvo_KR90X.exe", "kr90x"}));
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("new"));
}

TEST_F(ShutdownHousekeepingTest, FailedReplacementLeavesTheNewProgramForTheNextClose) {
    // The program's name is taken by a folder that cannot be renamed away over the old
    // name: the rename of the new program fails and both names stay as they were.
    put("Orvo_KR90X_Nuevo.exe", "new");
    ASSERT_TRUE(QDir(dir.path()).mkpath("Orvo_KR90X.exe/inside"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("Orvo_KR90X_old.exe/inside"));
    run();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(read("Orvo_KR90X_Nuevo.exe"), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("Orvo_KR90X.exe")).isDir());
}

TEST(UpdateFilesTest, DownloadGetsItsNameOnlyWhenItsHashMatches) {
    QTemporaryDir dir;
    const QString target = dir.filePath("OrvoKR90X.hex");
    auto write = [](const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    write(target, "previous");
    write(partPath(target), "abc");
    EXPECT_EQ(installDownload(target, QByteArray("00"), false), InstallResult::HashMismatch);
    EXPECT_FALSE(QFileInfo::exists(partPath(target)));

    write(partPath(target), "abc");
    const QByteArray abcHash = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    EXPECT_EQ(installDownload(target, abcHash, false), InstallResult::Installed);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("abc"));
    EXPECT_FALSE(QFileInfo::exists(partPath(target)));
}
