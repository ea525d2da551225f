// Signed updates against a local pyftpdlib, where time is what an attacker plays with:
// files replaced while the firmware's box waits for the user, and genuine manifests that
// are old or expired.
#include "SignedUpdatesFixture.h"

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::manifest;

namespace {

const QString kFirmwareBox =
    QStringLiteral("New firmware for KR90X has been found,\r\npress OK to update.");

// What is done to the program folder while the firmware's box is open.
struct AtTheBox {
    const char* name;
    bool toolInFolder; // before the run
    bool toolHashed;   // the signed manifest names the tool's hash
    const char* file;  // the file written while the box is open
    const char* line;  // the log's refusal
};

class SwapDuringTheBoxTest : public test::SignedUpdatesFixture,
                             public ::testing::WithParamInterface<AtTheBox> {};

TEST_P(SwapDuringTheBoxTest, WhatChangedAfterTheCheckIsNeitherRunNorHandedOn) {
    startServer();
    const QByteArray text =
        manifest("104", "14", {}, "SHA256=" + test::sha256Hex(firmware) + "\r\n") +
        (GetParam().toolHashed ? "[OrvoFlash]\r\nSHA256=" + test::sha256Hex(kFlasher) + "\r\n"
                               : QByteArray());
    servePublished(text, newProgram);
    if (GetParam().toolInFolder) {
        put("OrvoFlash.exe", kFlasher);
    }
    dialogs.onBox = [this](const MessageBox& box) {
        if (box.text == kFirmwareBox) {
            put(GetParam().file, "#!/bin/sh\nexit 0\n");
        }
    };
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas(GetParam().line)) << log().join('\n').toStdString();
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(exists(GetParam().file)); // it is no update: it goes
    EXPECT_EQ(boxTexts(), (QStringList{kFirmwareBox, refusalBox()}));
    // Nothing was left of the copies the tool would have run from.
    EXPECT_TRUE(
        QDir(programDir.path()).entryList({".OrvoFlash-*"}, QDir::Dirs | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    SignedRun, SwapDuringTheBoxTest,
    ::testing::Values(
        AtTheBox{"ToolReplaced", true, true, "OrvoFlash.exe",
                 "Actualización rechazada: SHA256 incorrecto, borrado: OrvoFlash.exe"},
        // Missing at the check, the tool had nothing to be checked against then.
        AtTheBox{"ToolPlantedWhereNoneWas", false, false, "OrvoFlash.exe",
                 "Actualización rechazada: version.ini no da su SHA256, borrado: OrvoFlash.exe"},
        AtTheBox{"FirmwareReplaced", true, true, "OrvoKR90X.hex",
                 "Actualización rechazada: SHA256 incorrecto, borrado: OrvoKR90X.hex"}),
    [](const auto& info) { return std::string(info.param.name); });

// How a genuine manifest has gone stale.
struct Stale {
    const char* name;
    int kept;            // the highest sequence accepted before, 0: none
    int sequence;        // the manifest's; 0: it says nothing of its freshness
    qint64 validSeconds; // from now
    const char* line;
    bool box; // a replay is an attack; an expired manifest is the publisher's to renew
};

class StaleManifestTest : public test::SignedUpdatesFixture,
                          public ::testing::WithParamInterface<Stale> {};

TEST_P(StaleManifestTest, IsRefusedAndNothingOfItIsUsed) {
    startServer();
    const QByteArray plain = manifest("105", "14", "SHA256=" + test::sha256Hex(newProgram) + "\r\n",
                                      "SHA256=" + test::sha256Hex(firmware) + "\r\n") +
                             "[OrvoFlash]\r\nSHA256=" + test::sha256Hex(kFlasher) + "\r\n";
    const QByteArray text = GetParam().sequence == 0
                                ? plain
                                : fresh(plain, GetParam().sequence, GetParam().validSeconds);
    serve("version.ini", text);
    serve("version.ini.sig", sign(text));
    serve("Orvo_KR90X.exe", newProgram);
    serve("OrvoKR90X.hex", firmware);
    put("OrvoFlash.exe", kFlasher);
    if (GetParam().kept != 0) {
        ASSERT_TRUE(UpdateSequence(sequenceFile()).raise(std::uint64_t(GetParam().kept)));
    }
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas(QStringLiteral("Actualización rechazada: ") + GetParam().line))
        << log().join('\n').toStdString();
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    EXPECT_EQ(state.ServerProgramVersion, 0);
    EXPECT_FALSE(state.FirmwareCheckStarted);
    EXPECT_EQ(commandCount(retr("Orvo_KR90X.exe")), 0);
    EXPECT_EQ(commandCount(retr("OrvoKR90X.hex")), 0);
    EXPECT_EQ(boxTexts(), GetParam().box ? QStringList{refusalBox()} : QStringList());
    EXPECT_EQ(UpdateSequence(sequenceFile()).highest(), std::uint64_t(GetParam().kept));
    close();
    EXPECT_EQ(programFolder(), (QStringList{"OrvoFlash.exe", "Orvo_KR90X.exe"}));
}

INSTANTIATE_TEST_SUITE_P(
    SignedRun, StaleManifestTest,
    ::testing::Values(
        Stale{"Replayed", 5, 4, 86400,
              "version.ini no es auténtico: version.ini es antiguo (Sequence 4, ya aceptado 5)",
              true},
        Stale{"Expired", 0, 1, -60, "version.ini caducó el ", false},
        Stale{"Undated", 0, 0, 0, "version.ini no da Sequence y Expires en [Freshness]", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The sequence taken is kept for the next start; the same manifest read again still counts.
TEST_F(StaleManifestTest, AcceptedSequenceIsKeptAndTheSameManifestStillCounts) {
    startServer();
    servePublished(fresh(manifest("104", "0"), 7), newProgram);
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(signedSettings());
    for (int run = 0; run < 2; ++run) {
        form->FormActivate(form.get());
        ASSERT_TRUE(waitLogHas("No es necesario actualizar"));
        ASSERT_TRUE(waitAllClosed());
        EXPECT_EQ(UpdateSequence(sequenceFile()).highest(), 7u);
    }
    EXPECT_FALSE(logHas("Actualización rechazada"));
    EXPECT_TRUE(boxTexts().isEmpty());
}

} // namespace
