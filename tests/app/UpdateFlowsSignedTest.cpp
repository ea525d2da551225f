// The update flows with the publisher's key against a local pyftpdlib: every way the
// manifest's signature or a file's hash can be wrong is refused, and nothing of such an
// update is fetched, installed or started.
#include "SignedUpdatesFixture.h"

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::kOldProgram;
using kr90x::test::manifest;

namespace {

// How a published signature goes wrong, and what the log says of it.
struct Forgery {
    const char* name;
    std::function<void(QByteArray& manifest, QByteArray& signature, const QByteArray& secretKey)>
        spoil;
    const char* logged;
    bool serveSignature = true;
};

class ForgedManifestTest : public test::SignedUpdatesFixture,
                           public ::testing::WithParamInterface<Forgery> {};

TEST_P(ForgedManifestTest, IsRefusedAndNothingOfItIsUsed) {
    startServer();
    QByteArray text = signedManifest();
    QByteArray signature = sign(text);
    GetParam().spoil(text, signature, keys.second);
    serve("version.ini", text);
    if (GetParam().serveSignature) {
        serve("version.ini.sig", signature);
    }
    serve("Orvo_KR90X.exe", newProgram);
    serve("OrvoFlash.exe", kFlasher);
    serve("OrvoKR90X.hex", firmware);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(
        waitLogHas(QStringLiteral("Actualización rechazada: version.ini no es auténtico: ") +
                   GetParam().logged))
        << log().join('\n').toStdString();
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    expectNothingTaken();
    // The flashing tool is missing, and nothing signed vouches for one.
    EXPECT_TRUE(logHas("OrvoFlash.exe no se descarga"));
    // The box was shown once: the next check's refusal goes to the log only.
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Actualización rechazada"));
    ASSERT_TRUE(waitAllClosed());
    EXPECT_EQ(boxTexts().size(), 1);

    close();
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_EQ(programFolder(), QStringList{"Orvo_KR90X.exe"});
    EXPECT_EQ(beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, ForgedManifestTest,
    ::testing::Values(
        Forgery{"Missing", [](QByteArray&, QByteArray&, const QByteArray&) {},
                "version.ini.sig no llegó (550", false},
        Forgery{"Empty", [](QByteArray&, QByteArray& s, const QByteArray&) { s.clear(); },
                "version.ini.sig está vacío"},
        Forgery{"OneByteShort", [](QByteArray&, QByteArray& s, const QByteArray&) { s.chop(1); },
                "version.ini.sig no tiene 64 bytes"},
        Forgery{"WithALineEnd", [](QByteArray&, QByteArray& s, const QByteArray&) { s += "\n"; },
                "version.ini.sig no tiene 64 bytes"},
        Forgery{"AsBase64", [](QByteArray&, QByteArray& s, const QByteArray&) { s = keyText(s); },
                "version.ini.sig no tiene 64 bytes"},
        // The publisher's own signature, of an older manifest: replayed, it must not pass.
        Forgery{"OfOtherBytes",
                [](QByteArray&, QByteArray& s, const QByteArray& key) {
                    s = signDetached(test::manifest("104", "12"), key);
                },
                "la firma no corresponde"},
        Forgery{"ManifestChangedOneByteAfterSigning",
                [](QByteArray& m, QByteArray&, const QByteArray&) {
                    m[m.indexOf("Version=14") + 9] = '5';
                },
                "la firma no corresponde"},
        Forgery{"ByAnotherKey",
                [](QByteArray& m, QByteArray& s, const QByteArray&) {
                    s = signDetached(m, makeKeyPair().second);
                },
                "la firma no corresponde"}),
    [](const auto& info) { return std::string(info.param.name); });

class SignedHashesTest : public test::SignedUpdatesFixture {};

TEST_F(SignedHashesTest, ATamperedProgramIsDeletedAndNeverPutInPlace) {
    startServer();
    servePublished(signedManifest(), test::patternBytes(300001)); // not the one signed for
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(signedSettings());
    state.DeviceFirmwareVersion = 14; // no firmware update in this run

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Actualización rechazada: SHA256 incorrecto, borrado: "
                           "Orvo_KR90X_Nuevo.exe"));
    ASSERT_TRUE(waitAllClosed());
    EXPECT_EQ(state.ServerProgramVersion, 105); // the manifest itself was genuine
    EXPECT_EQ(boxTexts(), QStringList{refusalBox()});
    close();
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    EXPECT_EQ(beeps, 0);
}

TEST_F(SignedHashesTest, AFileTheSignedManifestGivesNoHashForIsNotFetched) {
    startServer();
    // Signed, but vouching for nothing: neither the program nor the flashing tool.
    servePublished(manifest("105", "0"), newProgram);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Actualización rechazada: version.ini no da el SHA256 de "
                           "Orvo_KR90X.exe"));
    ASSERT_TRUE(waitLogHas("OrvoFlash.exe no se descarga"));
    ASSERT_TRUE(waitAllClosed());
    EXPECT_EQ(commandCount(retr("Orvo_KR90X.exe")), 0);
    EXPECT_EQ(commandCount(retr("OrvoFlash.exe")), 0);
    EXPECT_FALSE(exists("OrvoFlash.exe"));
}

TEST_F(SignedHashesTest, AFirmwareWhoseHashDiffersIsNotHandedToTheFlashingTool) {
    startServer();
    const QByteArray text = signedManifest();
    servePublished(text, newProgram);
    serve("OrvoKR90X.hex", test::patternBytes(50001)); // not the one signed for
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Actualización rechazada: SHA256 incorrecto, borrado: OrvoKR90X.hex"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(exists("OrvoKR90X.hex"));
    // The program is genuine, and was taken.
    EXPECT_TRUE(logHas("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_EQ(boxTexts(), QStringList{refusalBox()});
}

// Files in the folder from before the run were never checked against its manifest.
struct Leftover {
    const char* name;
    QByteArray tool;  // the flashing tool found in the folder
    bool toolHashed;  // the signed manifest names the tool's hash
    const char* line; // the log's, when the tool is refused
    bool box;
};

class LeftoverToolTest : public test::SignedUpdatesFixture,
                         public ::testing::WithParamInterface<Leftover> {};

TEST_P(LeftoverToolTest, IsStartedOnlyWhenItHashesAsSigned) {
    startServer();
    // No newer program: the check closes before the firmware is asked for, with the tool
    // still in the folder, so it is not fetched in this check.
    const QByteArray text =
        manifest("104", "14", {}, "SHA256=" + test::sha256Hex(firmware) + "\r\n") +
        (GetParam().toolHashed ? "[OrvoFlash]\r\nSHA256=" + test::sha256Hex(kFlasher) + "\r\n"
                               : QByteArray());
    servePublished(text, newProgram);
    put("OrvoFlash.exe", GetParam().tool);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Transferencia OrvoKR90X.hex completada"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    if (!GetParam().line) {
        ASSERT_EQ(started.size(), 1u);
        expectStartedFromACheckedCopy(started[0].first);
        return;
    }
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(log().contains(GetParam().line)) << log().join('\n').toStdString();
    EXPECT_FALSE(exists("OrvoFlash.exe"));
    EXPECT_EQ(boxTexts(), GetParam().box ? QStringList{refusalBox()} : QStringList());
    // The next check finds the tool missing and fetches the one the manifest vouches for.
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas(GetParam().toolHashed ? "Transferencia OrvoFlash.exe completada"
                                                 : "OrvoFlash.exe no se descarga"));
    ASSERT_TRUE(waitAllClosed());
    EXPECT_EQ(read("OrvoFlash.exe"), GetParam().toolHashed ? kFlasher : QByteArray());
}

INSTANTIATE_TEST_SUITE_P(
    SignedRun, LeftoverToolTest,
    ::testing::Values(Leftover{"Genuine", kFlasher, true, nullptr, false},
                      Leftover{"Tampered", "#!/bin/sh\nexit 0\n", true,
                               "Actualización rechazada: SHA256 incorrecto, borrado: "
                               "OrvoFlash.exe",
                               true},
                      // Not a forgery, so only the log says it.
                      Leftover{"NoHashSigned", kFlasher, false,
                               "version.ini no da su SHA256, borrado: OrvoFlash.exe", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SignedHashesTest, ANewProgramLeftFromAnEarlierRunIsDeletedAtTheClose) {
    startServer();
    servePublished(manifest("104", "0"), newProgram);
    put("OrvoFlash.exe", kFlasher);
    put("Orvo_KR90X_Nuevo.exe", newProgram);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("No es necesario actualizar"));
    ASSERT_TRUE(waitAllClosed());
    close();
    EXPECT_TRUE(logHas("Orvo_KR90X_Nuevo.exe no verificado en esta sesión, borrado"));
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_EQ(programFolder(), (QStringList{"OrvoFlash.exe", "Orvo_KR90X.exe"}));
    EXPECT_EQ(beeps, 0);
}

// A firmware no check can vouch for is not fetched (it could only be refused, and would
// look like a forgery), and that does not use up the run's one firmware attempt.
TEST_F(SignedHashesTest, FirmwareIsFetchedOnlyWhenACheckCanVouchForIt) {
    startServer();
    servePublished(signedManifest(), newProgram);
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(signedSettings());

    form->Timer2Timer(form.get()); // the tester did not answer, before any check
    EXPECT_TRUE(logHas("OrvoKR90X.hex no se descarga"));
    EXPECT_FALSE(state.FirmwareCheckStarted);
    EXPECT_FALSE(form->FtpClientFirmware->Connected());

    form->FormActivate(form.get());
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    ASSERT_TRUE(waitAllClosed());
    EXPECT_EQ(commandCount(retr("OrvoKR90X.hex")), 1);
    EXPECT_FALSE(logHas("Actualización rechazada"));
}

TEST_F(SignedHashesTest, AFirmwareTheSignedManifestGivesNoHashForIsOnlyLogged) {
    startServer();
    servePublished(manifest("104", "14"), newProgram);
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(signedSettings());

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("OrvoKR90X.hex no se descarga"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    EXPECT_EQ(commandCount(retr("OrvoKR90X.hex")), 0);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(boxTexts().isEmpty());
}

} // namespace
