// The file rules of the close, on a temp program folder without any client connected.
#include "update/ShutdownHousekeeping.h"
#include "core/Log.h"
#include "update/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace kr90x;

namespace {

class ShutdownHousekeepingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Log log;
    int beeps = 0;

    void run() {
        UpdateSettings s;
        s.ProgramDirectory = dir.path();
        ShutdownHousekeeping(s, log, [this] { ++beeps; })
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
    put("version.ini.part", "half a manifest");
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

// The close moves the running program aside first; when the new one then cannot take its
// name, the running one must get it back, or the next start finds no program.
TEST_F(ShutdownHousekeepingTest, NewProgramThatCannotTakeTheNameLeavesTheOldProgramInPlace) {
    put("Orvo_KR90X.exe", "program");
    put("Orvo_KR90X_Nuevo.exe", "new");
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    std::vector<std::pair<QString, QString>> renames;
    ShutdownHousekeeping(
        s, log, [this] { ++beeps; },
        [&](const QString& from, const QString& to) {
            renames.emplace_back(QFileInfo(from).fileName(), QFileInfo(to).fileName());
            // the new program's rename fails; the others are real
            return from.endsWith("_Nuevo.exe") ? false : renameFile(from, to);
        })
        .run({{nullptr, files::NewProgram}});
    EXPECT_EQ(renames.at(0), (std::pair<QString, QString>{"Orvo_KR90X.exe", "Orvo_KR90X_old.exe"}));
    EXPECT_EQ(renames.at(1).first, "Orvo_KR90X_Nuevo.exe");
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("program"));
    EXPECT_EQ(read("Orvo_KR90X_Nuevo.exe"), QByteArray("new")); // for the next close
    EXPECT_FALSE(exists("Orvo_KR90X_old.exe"));
}

TEST_F(ShutdownHousekeepingTest, ProgramThatDoesNotUpdateItselfLeavesItsFolderAlone) {
    put("Orvo_KR90X.exe", "program");
    put("Orvo_KR90X_Nuevo.exe", "new");
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.SelfUpdateBlocked = "packaged";
    ShutdownHousekeeping(s, log, [this] { ++beeps; }).run({{nullptr, files::NewProgram}});
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("program"));
}

// Signed, only a new program this run's check verified replaces the running one: one left
// from an earlier run, or put there by anybody, goes.
TEST_F(ShutdownHousekeepingTest, WithAKeyOnlyANewProgramVerifiedInThisRunIsPutInPlace) {
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.PublicKey = "key";
    for (const bool verified : {false, true}) {
        put("Orvo_KR90X.exe", "program");
        put("Orvo_KR90X_Nuevo.exe", "new");
        log.clear();
        ShutdownHousekeeping(s, log, [this] {
            ++beeps;
        }).run({{nullptr, files::NewProgram}}, verified);
        EXPECT_EQ(files(), QStringList{"Orvo_KR90X.exe"}) << verified;
        EXPECT_EQ(read("Orvo_KR90X.exe"), verified ? "new" : "program");
        EXPECT_EQ(log.lines(),
                  verified ? QStringList()
                           : QStringList{"Orvo_KR90X_Nuevo.exe no verificado en esta sesión, "
                                         "borrado"});
    }
    EXPECT_EQ(beeps, 1);
}

class InstallDownloadTest : public ShutdownHousekeepingTest {
protected:
    QString target() const { return dir.filePath("OrvoKR90X.hex"); }
    InstallOutcome install(const QByteArray& part, const InstallRules& rules) {
        put("OrvoKR90X.hex.part", part);
        return installDownload(target(), rules);
    }
};

TEST_F(InstallDownloadTest, WholeFileReplacesThePreviousOneAndNoPartIsLeft) {
    put("OrvoKR90X.hex", "previous");
    const QByteArray abcHash = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    EXPECT_TRUE(install("abc", {abcHash, true, false}).installed());
    EXPECT_EQ(read("OrvoKR90X.hex"), QByteArray("abc"));
    EXPECT_TRUE(QFileInfo(target()).permissions() & QFileDevice::ExeOwner);
    EXPECT_EQ(files(), QStringList{"OrvoKR90X.hex"});
}

TEST_F(InstallDownloadTest, RefusedDownloadsAreDeletedAndSaySo) {
    put("OrvoKR90X.hex", "previous");
    const InstallOutcome mismatch = install("abc", {QByteArray("00"), false, false});
    EXPECT_EQ(mismatch.result, InstallResult::HashMismatch);
    EXPECT_EQ(notInstalledLine(files::Firmware, mismatch),
              "SHA256 incorrecto, borrado: OrvoKR90X.hex");
    const InstallOutcome empty = install({}, {});
    EXPECT_EQ(empty.result, InstallResult::Empty);
    EXPECT_EQ(notInstalledLine(files::Firmware, empty), "Fichero vacío, borrado: OrvoKR90X.hex");
    EXPECT_EQ(files(), QStringList{"OrvoKR90X.hex"});
    EXPECT_EQ(read("OrvoKR90X.hex"), QByteArray("previous"));
    EXPECT_TRUE(install({}, {std::nullopt, false, true}).installed()); // an empty manifest
}

TEST_F(InstallDownloadTest, RenameThatFailsGivesTheSystemsReason) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("OrvoKR90X.hex/inside")); // a folder holds the name
    const InstallOutcome failed = install("abc", {});
    EXPECT_EQ(failed.result, InstallResult::Failed);
    EXPECT_EQ(notInstalledLine(files::Firmware, failed),
              "Error al instalar OrvoKR90X.hex: " + QString(std::strerror(EISDIR)));
    EXPECT_FALSE(exists("OrvoKR90X.hex.part"));
}
