// The whole update flow of the window against a real vsftpd: signed manifests, FTP over
// TLS with certificates the test makes, both, and what each refuses.
#include "SignedUpdatesFixture.h"

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::kOldProgram;

namespace {

struct Secure {
    const char* name;
    bool signedManifest;
    bool tls;
};

class SecureUpdateTest : public test::SignedUpdatesFixture {
protected:
    void SetUp() override { ASSERT_TRUE(certs.error().isEmpty()) << certs.error().toStdString(); }

    void startVsftpd(bool tls, const QString& certificate = "good.pem") {
        vsftpd = true;
        const QString error =
            server.startVsftpd(tls ? std::optional(certs.serverTls(certificate)) : std::nullopt);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QDir().mkpath(server.serverFile(test::kHostDir + "/KR90X"));
    }
    UpdateSettings secureSettings(bool signedManifest, bool tls) const {
        UpdateSettings s = signedManifest ? signedSettings() : settings();
        if (tls) {
            s.ServerAddress = "localhost"; // the name on the certificate
            s.Tls = FtpTls::Required;
            s.CaFile = certs.path("ca.pem");
        }
        return s;
    }

    test::TestCertificates certs;
};

class SecureFlowTest : public SecureUpdateTest, public ::testing::WithParamInterface<Secure> {};

TEST_P(SecureFlowTest, ProgramToolAndFirmwareArriveAndAreTaken) {
    startVsftpd(GetParam().tls);
    servePublished(signedManifest(), newProgram);
    makeSignedRun(secureSettings(GetParam().signedManifest, GetParam().tls));

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("Transferencia OrvoFlash.exe completada"));
    ASSERT_TRUE(waitLogHas("Transferencia OrvoKR90X.hex completada"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    EXPECT_FALSE(logHas("Actualización rechazada"));
    EXPECT_EQ(logHas("Firma de version.ini correcta"), GetParam().signedManifest);
    EXPECT_EQ(commandCount(retr("version.ini.sig")), GetParam().signedManifest ? 1 : 0);
    EXPECT_EQ(commandCount("AUTH TLS") > 0, GetParam().tls);
    EXPECT_EQ(read("OrvoKR90X.hex"), firmware);
    // The tool and the firmware come on connections of their own; a tool that has not
    // arrived when the firmware is handed off is not there to start.
    if (!GetParam().signedManifest) {
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].first, local("OrvoFlash.exe"));
    } else if (!started.empty()) {
        expectStartedFromACheckedCopy(started[0].first);
    } else {
        EXPECT_GT(log().indexOf("Transferencia OrvoFlash.exe completada"),
                  log().indexOf("Transferencia OrvoKR90X.hex completada"));
    }
    EXPECT_EQ(boxTexts().size(), 1); // the firmware's, before the tool starts
    close();
    EXPECT_EQ(read("Orvo_KR90X.exe"), newProgram);
    EXPECT_TRUE(executable("OrvoFlash.exe"));
    EXPECT_EQ(programFolder(), (QStringList{"OrvoFlash.exe", "Orvo_KR90X.exe"}));
}

INSTANTIATE_TEST_SUITE_P(Vsftpd, SecureFlowTest,
                         ::testing::Values(Secure{"SignedOverTls", true, true},
                                           Secure{"SignedInClear", true, false},
                                           Secure{"UnsignedOverTls", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SecureUpdateTest, AManifestSignedByAnotherKeyIsRefusedOverTls) {
    startVsftpd(true);
    const QByteArray text = signedManifest();
    servePublished(text, newProgram);
    serve("version.ini.sig", signDetached(text, makeKeyPair().second));
    makeSignedRun(secureSettings(true, true));

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("version.ini no es auténtico: la firma no corresponde"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    expectNothingTaken();
    close();
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
}

TEST_F(SecureUpdateTest, ATamperedProgramIsRefusedOverTls) {
    startVsftpd(true);
    servePublished(signedManifest(), test::patternBytes(300001));
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(secureSettings(true, true));
    state.DeviceFirmwareVersion = 14;

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLogHas("SHA256 incorrecto, borrado: Orvo_KR90X_Nuevo.exe"));
    ASSERT_TRUE(waitAllClosed());
    close();
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_EQ(beeps, 0);
}

// With TLS required, a certificate that does not check out ends the check with one line
// saying why, before any file is asked for.
TEST_F(SecureUpdateTest, ABadCertificateEndsTheCheckWithOneLineAndTouchesNothing) {
    startVsftpd(true, "otherhost.pem");
    servePublished(signedManifest(), newProgram);
    put("OrvoFlash.exe", kFlasher);
    makeSignedRun(secureSettings(false, true));

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    ASSERT_TRUE(waitAllClosed());
    test::drainEvents();
    const QStringList tlsLines = log().filter("TLS: ");
    ASSERT_EQ(tlsLines.size(), 1) << log().join('\n').toStdString();
    EXPECT_TRUE(tlsLines[0].contains("host name")) << tlsLines[0].toStdString();
    EXPECT_TRUE(boxTexts().isEmpty());
    EXPECT_EQ(programFolder(), (QStringList{"OrvoFlash.exe", "Orvo_KR90X.exe"}));
    EXPECT_FALSE(server.commands().contains("USER anonymous"));
}

} // namespace
