// The manifest reader: what the server writes into "version.ini" and what it reads as.
#include "update/Manifest.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kr90x;

TEST(ManifestTest, ReadsBothVersionsWhateverTheCaseOfNamesAndTheLineEnds) {
    const Manifest m = parseManifest("\xEF\xBB\xBF; comment\n[pc_version]\r\n  VERSION = 105 \r\n"
                                     "[Other]\nVersion=7\n[kr90x_VERSION]\rversion=14");
    EXPECT_EQ(m.ProgramVersion, 105);
    EXPECT_EQ(m.FirmwareVersion, 14);
    EXPECT_FALSE(m.Program.named);
    EXPECT_FALSE(m.Firmware.named);
    EXPECT_FALSE(m.Sequence);
    EXPECT_FALSE(m.Expires);
}

TEST(ManifestTest, ValuesAreDecimalOrHexAndAnythingElseReadsZero) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"105", 105},
        {"0x69", 105},
        {"0X69", 105},
        {"-3", -3},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", 0},
        {"0x7fffffff", 2147483647},
        {"0x80000000", 0},
        {"99999999999999999999", 0},
        {"1.05", 0},
        {"105a", 0},
        {"0x", 0},
        {"", 0},
        {"-", 0},
        {"0xg", 0},
        {"1 05", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(iniInteger(text), value) << text;
    }
}

TEST(ManifestTest, MissingSectionKeyOrFileReadsZero) {
    EXPECT_EQ(parseManifest("[PC_Version]\nRelease=105\n").ProgramVersion, 0);
    EXPECT_EQ(parseManifest("Version=105\n[KR90X_Version]\n").ProgramVersion, 0);
    EXPECT_EQ(parseManifest("[PC_Version\nVersion=105").ProgramVersion, 0);
    // A key of another section does not leak into the next one.
    const Manifest m = parseManifest("[PC_Version]\n[KR90X_Version]\nVersion=9\n");
    EXPECT_EQ(m.ProgramVersion, 0);
    EXPECT_EQ(m.FirmwareVersion, 9);
    EXPECT_EQ(readManifestFile(QStringLiteral("/nonexistent/version.ini")).FirmwareVersion, 0);
}

TEST(ManifestTest, FirstSectionAndKeyOfANameCount) {
    const Manifest m =
        parseManifest("[PC_Version]\nVersion=105\nVersion=106\n[PC_Version]\nVersion=107\n");
    EXPECT_EQ(m.ProgramVersion, 105);
}

TEST(ManifestTest, HashKeysAreParsedOnceAndAKeyThatIsNoHashStaysNamed) {
    const QByteArray hex(64, 'A');
    const Manifest m = parseManifest("[PC_Version]\nSha256 = AbC\n[KR90X_Version]\nSHA256=\n"
                                     "[OrvoFlash]\nsha256= " +
                                     hex + " \n");
    // Present but no hash: one that no file has.
    EXPECT_TRUE(m.Program.named);
    EXPECT_FALSE(m.Program.digest);
    EXPECT_TRUE(m.Firmware.named);
    EXPECT_FALSE(m.Firmware.digest);
    EXPECT_EQ(m.Flasher.digest, parseSha256Hex(hex.toLower()));
}

TEST(ManifestTest, FileIsReadFromDisk) {
    QTemporaryDir dir;
    QFile f(dir.filePath("version.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[PC_Version]\r\nVersion=105\r\n[KR90X_Version]\r\nVersion=14\r\n");
    f.close();
    const Manifest m = readManifestFile(f.fileName());
    EXPECT_EQ(m.ProgramVersion, 105);
    EXPECT_EQ(m.FirmwareVersion, 14);
}
