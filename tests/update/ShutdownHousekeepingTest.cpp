// The file rules of the close, on a temp program folder without any client connected.
#include "update/ShutdownHousekeeping.h"
#include "core/Log.h"
#include "update/UpdateFiles.h"

#include <QCryptographicHash>
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

namespace {

NamedHash signedHashOf(const QByteArray& bytes) {
    return NamedHash::fromText(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

// Signed, the new program replaces the running one only when its bytes, read at the close,
// hash as this run's signed manifest says: one left from an earlier run, put there by
// anybody, or swapped after it arrived, goes.
TEST_F(ShutdownHousekeepingTest, WithAKeyOnlyTheBytesTheSignedManifestNamesArePutInPlace) {
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.PublicKey = "key";
    const struct {
        NamedHash signedHash;
        QByteArray program;
        QString logLine;
    } cases[] = {
        {{}, "program", "Orvo_KR90X_Nuevo.exe no verificado en esta sesión, borrado"},
        {signedHashOf("other"), "program", "SHA256 incorrecto, borrado: Orvo_KR90X_Nuevo.exe"},
        {signedHashOf("new"), "new", {}},
    };
    for (const auto& c : cases) {
        put("Orvo_KR90X.exe", "program");
        put("Orvo_KR90X_Nuevo.exe", "new");
        log.clear();
        ShutdownHousekeeping(s, log, [this] {
            ++beeps;
        }).run({{nullptr, files::NewProgram}}, c.signedHash);
        EXPECT_EQ(files(), QStringList{"Orvo_KR90X.exe"}) << c.logLine.toStdString();
        EXPECT_EQ(read("Orvo_KR90X.exe"), c.program);
        EXPECT_EQ(log.lines(), c.logLine.isEmpty() ? QStringList() : QStringList{c.logLine});
    }
    EXPECT_EQ(beeps, 2);
}

// Another file renamed over the new program between its check and its renaming is what
// would take the name: it is found out and the running program comes back.
TEST_F(ShutdownHousekeepingTest, NewProgramSwappedBetweenItsCheckAndItsRenamingIsRefused) {
    UpdateSettings s;
    s.ProgramDirectory = dir.path();
    s.PublicKey = "key";
    put("Orvo_KR90X.exe", "program");
    put("Orvo_KR90X_Nuevo.exe", "new");
    put("planted", "planted");
    ShutdownHousekeeping close(s, log, [] {});
    close.setBetweenCheckAndUse([this] {
        ASSERT_TRUE(QFile::remove(dir.filePath("Orvo_KR90X_Nuevo.exe")));
        ASSERT_TRUE(QFile::rename(dir.filePath("planted"), dir.filePath("Orvo_KR90X_Nuevo.exe")));
    });
    close.run({{nullptr, files::NewProgram}}, signedHashOf("new"));
    EXPECT_EQ(files(), QStringList{"Orvo_KR90X.exe"});
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("program"));
    EXPECT_EQ(log.lines(), QStringList{"SHA256 incorrecto, borrado: Orvo_KR90X_Nuevo.exe"});
}
