// The update flows of the window against a local pyftpdlib serving a temp update tree,
// with a temp program folder.
#include "UpdateFlowsFixture.h"

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::kOldProgram;
using kr90x::test::manifest;

namespace {
class UpdateFlowsTest : public test::UpdateFlowsFixture {};
} // namespace

TEST_F(UpdateFlowsTest, CheckWithoutUpdateLogsInOrderLogsOutAndFetchesNothing) {
    startServer();
    serve("version.ini", manifest("104", "14"));
    serve("Orvo_KR90X.exe", "new program");
    put("OrvoFlash.exe", kFlasher);
    put("Orvo_KR90X.exe", kOldProgram);
    makeForm();

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    test::drainEvents();
    EXPECT_EQ(
        withoutByteCounts(),
        (QStringList{"Conectado a 127.0.0.1", "OK version.ini",
                     "Transferencia version.ini completada", "Version firmware KR90X servidor: 14",
                     "No es necesario actualizar", "Desconectado", "Conexión cerrada"}));
    EXPECT_EQ(log()[2], QString::number(manifest("104", "14").size()) + " bytes Transferred");
    EXPECT_EQ(state.ServerProgramVersion, 104);
    EXPECT_EQ(state.ServerFirmwareVersion, 14);
    EXPECT_EQ(form->updateCheck().downloadKind(), UpdateCheck::DownloadKind::Version);
    // The tester has not reported: the manifest alone starts no firmware download.
    EXPECT_FALSE(state.FirmwareCheckStarted);
    EXPECT_FALSE(form->FtpClient1->Connected());
    EXPECT_EQ(commandCount(retr("Orvo_KR90X.exe")), 0);
    EXPECT_EQ(commandCount(retr("OrvoFlash.exe")), 0);
    EXPECT_TRUE(dialogs.boxes.empty());

    close();
    EXPECT_FALSE(exists("version.ini"));
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_TRUE(exists("OrvoFlash.exe"));
    EXPECT_EQ(beeps, 0);
}

class NewerProgramTest : public UpdateFlowsTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(NewerProgramTest, IsFetchedWholeAndPutInPlaceRunnableAtClose) {
    const QByteArray newProgram = test::patternBytes(200000);
    startServer();
    serve("version.ini", manifest(GetParam(), "0"));
    serve("Orvo_KR90X.exe", newProgram);
    put("OrvoFlash.exe", kFlasher);
    put("Orvo_KR90X.exe", kOldProgram);
    put("Orvo_KR90X_old.exe", "older still");
    makeForm();

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    EXPECT_EQ(state.ServerProgramVersion, 105);
    EXPECT_EQ(form->updateCheck().downloadKind(), UpdateCheck::DownloadKind::Exe);
    const QStringList lines = withoutByteCounts();
    const qsizetype update = lines.indexOf("Actualizar programa.");
    ASSERT_GE(update, 0);
    EXPECT_EQ(lines.mid(update), (QStringList{"Actualizar programa.", "OK Orvo_KR90X.exe",
                                              "Transferencia Orvo_KR90X.exe completada",
                                              "Desconectado", "Conexión cerrada"}));
    EXPECT_EQ(read("Orvo_KR90X_Nuevo.exe"), newProgram);
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe.part"));
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram); // nothing replaced while running

    close();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(read("Orvo_KR90X.exe"), newProgram);
    EXPECT_TRUE(executable("Orvo_KR90X.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_old.exe"));
    EXPECT_FALSE(exists("version.ini"));
}

INSTANTIATE_TEST_SUITE_P(DecimalAndHex, NewerProgramTest, ::testing::Values("105", "0x69"));

TEST_F(UpdateFlowsTest, NewerFirmwareIsFetchedOnceAndHandedToTheFlasher) {
    const QByteArray firmware = test::patternBytes(5000);
    startServer();
    serve("version.ini", manifest("104", "14"));
    serve("OrvoKR90X.hex", firmware);
    put("OrvoFlash.exe", kFlasher);
    state.DeviceFirmwareVersion = 12; // the tester has reported
    makeForm();

    form->FormActivate(form.get());
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    EXPECT_TRUE(log().contains("Actualizar KR90X !!!!"));
    EXPECT_TRUE(log().contains("OK OrvoKR90X.hex"));
    const qsizetype done = log().indexOf("Transferencia OrvoKR90X.hex completada");
    ASSERT_GE(done, 0);
    // The firmware client is closed before the box: its logout ran to the end.
    EXPECT_FALSE(form->FtpClientFirmware->Connected());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(dialogs.boxes[0].text,
              QStringLiteral("New firmware for KR90X has been found,\r\npress OK to update."));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].first, local("OrvoFlash.exe"));
    EXPECT_EQ(started[0].second, QStringList{"English"});
    EXPECT_EQ(read("OrvoKR90X.hex"), firmware);
    EXPECT_FALSE(exists("OrvoKR90X.hex.part"));

    // The tester's reply decides the same again: no second download in this run.
    form->LaunchOrvoFlash();
    test::drainEvents();
    EXPECT_EQ(commandCount(retr("OrvoKR90X.hex")), 1);
    EXPECT_EQ(started.size(), 1u);

    close();
    EXPECT_FALSE(exists("OrvoKR90X.hex"));
    EXPECT_TRUE(exists("OrvoFlash.exe"));
}

TEST_F(UpdateFlowsTest, SilentTesterStartsTheFirmwareDownloadWithoutAManifest) {
    startServer();
    serve("OrvoKR90X.hex", "firmware");
    put("OrvoFlash.exe", kFlasher);
    makeForm();
    form->Timer2Timer(form->Timer2);
    EXPECT_EQ(state.DeviceFirmwareVersion, 11);
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    EXPECT_EQ(read("OrvoKR90X.hex"), QByteArray("firmware"));
    EXPECT_EQ(commandCount(retr("version.ini")), 0);
}

// The flashing tool arrives over FTP without execute permission; the hand-off must run it.
TEST_F(UpdateFlowsTest, MissingFlasherIsFetchedAfterTheCheckClosesAndTheHandOffRunsIt) {
    startServer();
    serve("version.ini", manifest("104", "14"));
    serve("OrvoFlash.exe", kFlasher);
    serve("OrvoKR90X.hex", "firmware");
    makeForm(settings(), true);

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Transferencia OrvoFlash.exe completada"));
    EXPECT_LT(log().indexOf("Conexión cerrada"), log().indexOf("OK OrvoFlash.exe"));
    EXPECT_EQ(read("OrvoFlash.exe"), kFlasher);
    EXPECT_TRUE(executable("OrvoFlash.exe"));
    EXPECT_FALSE(exists("OrvoFlash.exe.part"));

    state.DeviceFirmwareVersion = 12;
    form->LaunchOrvoFlash();
    ASSERT_TRUE(test::waitFor([&] { return read("args.txt") == "English\n"; }, 10000));
}

TEST_F(UpdateFlowsTest, RefusedConnectionClosesAndStillLooksForTheFlasher) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    UpdateSettings s = settings();
    s.Port = QString::number(port);
    makeForm(s);
    form->FormActivate(form.get());
    // FtpClient1's close, then the flashing tool's own connection, refused as well.
    ASSERT_TRUE(waitLog("Conexión cerrada", 2));
    test::drainEvents();
    EXPECT_EQ(log(), (QStringList{"Conexión cerrada", "Conexión cerrada"}));
    EXPECT_FALSE(form->FtpClientUpdater->Connected());
}

// 421 to USER fails the login and ends the session with one close, which calls for the
// flashing tool once; the tool's own login meets the same 421. Each client's box tells.
TEST_F(UpdateFlowsTest, Reply421BeforeLoginGivesEachClientOneBoxAndOneClose) {
    startServer("login421");
    makeForm();
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada", 2));
    test::drainEvents();
    const QString reason = "421 Service not available, closing control connection.";
    EXPECT_EQ(log(), (QStringList{"Conectado a 127.0.0.1", reason, "Conexión cerrada",
                                  "Conectado a 127.0.0.1", reason, "Conexión cerrada"}));
    EXPECT_EQ(commandCount("USER orvo"), 2);
    EXPECT_FALSE(form->FtpClient1->Connected());
    EXPECT_FALSE(form->FtpClientUpdater->Connected());
    EXPECT_EQ(boxTexts(), (QStringList{"Error de transmisión 1 !", "Error de transmisión 2 !"}));
}

// A failed transfer leaves neither its part nor its session behind, and is not tried again
// in the run: every check's close would start it, and its box, again.
TEST_F(UpdateFlowsTest, CutShortFlasherIsDroppedAtOnceAndFetchedAgainNextRun) {
    startServer("cut226", "OrvoFlash.exe");
    serve("version.ini", manifest("104", "0"));
    serve("OrvoFlash.exe", kFlasher);
    makeForm();
    form->FormActivate(form.get());
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }, 10000));
    EXPECT_EQ(boxTexts(), QStringList{"Error de transmisión 2 !"});
    EXPECT_FALSE(exists("OrvoFlash.exe"));
    EXPECT_FALSE(exists("OrvoFlash.exe.part"));
    EXPECT_FALSE(form->FtpClientUpdater->Connected());
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("No es necesario actualizar"));
    ASSERT_TRUE(test::waitFor([&] { return !form->FtpClient1->Connected(); }, 10000));
    test::drainEvents();
    EXPECT_EQ(commandCount(retr("OrvoFlash.exe")), 1);
    EXPECT_EQ(boxTexts().size(), 1);

    close();
    EXPECT_FALSE(exists("OrvoFlash.exe"));
    EXPECT_FALSE(exists("OrvoFlash.exe.part"));
    form.reset();

    makeForm();
    form->FormActivate(form.get());
    ASSERT_TRUE(test::waitFor([&] { return commandCount(retr("OrvoFlash.exe")) == 2; }, 10000));
}

TEST_F(UpdateFlowsTest, CloseDuringTheProgramDownloadAbortsAndReplacesNothing) {
    newerProgramRun("stall_long", test::patternBytes(100000));

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("OK Orvo_KR90X.exe"));
    ASSERT_TRUE(test::waitFor([&] { return form->FtpClient1->BytesTransferred() > 0; }, 10000));
    EXPECT_TRUE(exists("Orvo_KR90X_Nuevo.exe.part"));

    close();
    EXPECT_TRUE(form->FtpClient1.isNull()); // discarded
    ASSERT_TRUE(test::waitFor([&] { return commandCount("ABOR") == 1; }, 10000));
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe.part"));
    EXPECT_FALSE(exists("Orvo_KR90X_old.exe"));
}

TEST_F(UpdateFlowsTest, UnreachableServerLeavesOneLineAndFirmwareIsTriedOnce) {
    UpdateSettings s = settings();
    s.ServerAddress.clear();
    makeForm(s);
    form->FormActivate(form.get());
    test::drainEvents();
    EXPECT_EQ(log(), QStringList{"Conexion a internet no disponible!"});

    form->LaunchOrvoFlash();
    form->LaunchOrvoFlash();
    test::drainEvents();
    EXPECT_EQ(log().count("Conexion a internet no disponible!"), 2);
    EXPECT_TRUE(state.FirmwareCheckStarted);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(UpdateFlowsTest, FilesMissingOnTheServerGiveEachClientsBoxAndEndTheirSessions) {
    startServer();
    put("OrvoFlash.exe", kFlasher);
    makeForm();
    form->FormActivate(form.get());
    ASSERT_TRUE(test::waitFor([&] { return dialogs.boxes.size() == 1; }, 10000));
    form->LaunchOrvoFlash();
    ASSERT_TRUE(test::waitFor([&] { return dialogs.boxes.size() == 2; }, 10000));
    EXPECT_EQ(boxTexts(), (QStringList{"Error de transmisión 1 !", "Error de transmisión 3 !"}));
    for (const MessageBox& b : dialogs.boxes) {
        EXPECT_EQ(b.caption, QStringLiteral("Information"));
    }
    EXPECT_FALSE(form->FtpClient1->Connected());
    EXPECT_FALSE(form->FtpClientFirmware->Connected());
    EXPECT_EQ(commandCount("QUIT"), 2);
    // The check's box, closed, activates the window: the failed check is not run again.
    form->FormActivate(form.get());
    test::drainEvents();
    EXPECT_EQ(commandCount(retr("version.ini")), 1);

    close();
    EXPECT_FALSE(form->FtpClient1.isNull()); // nothing left to discard
    EXPECT_FALSE(exists("version.ini"));
    EXPECT_FALSE(exists("OrvoKR90X.hex"));
    EXPECT_FALSE(exists("OrvoKR90X.hex.part"));
}

TEST_F(UpdateFlowsTest, FileWhoseHashDiffersFromTheManifestIsDeletedAndNeverUsed) {
    const QByteArray firmware = "good firmware";
    const QByteArray firmwareHash =
        QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex().toUpper();
    startServer();
    serve("version.ini", manifest("105", "14", "sha256 = " + QByteArray(64, '0') + "\r\n",
                                  "SHA256=" + firmwareHash + "\r\n"));
    serve("Orvo_KR90X.exe", "tampered program");
    serve("OrvoKR90X.hex", firmware);
    put("OrvoFlash.exe", kFlasher);
    put("Orvo_KR90X.exe", kOldProgram);
    state.DeviceFirmwareVersion = 12;
    makeForm();

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("SHA256 incorrecto, borrado: Orvo_KR90X_Nuevo.exe"));
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    EXPECT_FALSE(log().contains("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe.part"));
    EXPECT_EQ(read("OrvoKR90X.hex"), firmware); // its hash matches, in any case

    ASSERT_TRUE(waitLog("Conexión cerrada", 2));
    close();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
}

TEST_F(UpdateFlowsTest, EveryActivationOfTheWindowStartsTheCheck) {
    UpdateSettings s = settings();
    s.ServerAddress.clear();
    makeForm(s);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return !log().contains("Memo1"); }, 5000));
    EXPECT_EQ(log(), QStringList{"Conexion a internet no disponible!"});
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(form.get(), &activate);
    EXPECT_EQ(log(), QStringList{"Conexion a internet no disponible!"}); // cleared first
    EXPECT_EQ(form->updateCheck().downloadKind(), UpdateCheck::DownloadKind::Version);
}
