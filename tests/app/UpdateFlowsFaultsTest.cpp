// The update flows of the window where servers and networks fail them: no loops, no
// boxes without end, nothing broken put in place, and the reasons in the log.
#include "UpdateFlowsFixture.h"

#include <QPushButton>

#include <cerrno>
#include <cstring>

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::kOldProgram;
using kr90x::test::manifest;

namespace {

class UpdateFaultsTest : public test::UpdateFlowsFixture {
protected:
    void activate() {
        QEvent activation(QEvent::WindowActivate);
        QCoreApplication::sendEvent(form.get(), &activation);
    }
    // Runs an event loop, as the program and its boxes do, until the condition holds or
    // the bound has passed (a loop of processEvents calls lets nested loops deliver less).
    static bool runLoopUntil(const std::function<bool()>& condition, int boundMs) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (condition()) {
                loop.quit();
            }
        });
        check.start(5);
        QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
        loop.exec();
        return condition();
    }
    bool clientState(TFtpClient* client, TFtpProcessState state) {
        return test::waitFor([&] { return client && client->ProcessState() == state; }, 10000);
    }
};

// Closing the error box activates the window again; the check must not start once more
// and meet the same refusal, box after box. A check asked for by hand still runs.
class RefusedLoginTest : public UpdateFaultsTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedLoginTest, AsksNoMoreOnActivationButStillWhenAskedByHand) {
    startServer(GetParam());
    put("OrvoFlash.exe", kFlasher);
    UpdateSettings s = settings();
    s.Password = "wrong";
    makeForm(s);
    int activations = 0;
    dialogs.onBox = [&](const MessageBox&) {
        if (++activations <= 5) { // bounded, in case the loop is back
            activate();
            test::drainEvents();
        }
    };
    activate();
    ASSERT_TRUE(test::waitFor([&] { return !dialogs.boxes.empty(); }, 10000));
    EXPECT_EQ(boxTexts(), QStringList{"Error de transmisión 1 !"});

    // Asked by hand: one more attempt, one more box. The server has seen all attempts
    // before it answers this one.
    dialogs.onBox = nullptr;
    form->btn2Click(form->btn2);
    ASSERT_TRUE(test::waitFor([&] { return dialogs.boxes.size() >= 2; }, 10000));
    test::drainEvents();
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    if (QString(GetParam()).isEmpty()) {
        EXPECT_EQ(commandCount("USER orvo"), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(WrongPasswordAndWebServer, RefusedLoginTest,
                         ::testing::Values("", "http"));

// A box runs an event loop while it is open, and that loop delivers the errors that
// arrive meanwhile: without a bound each would open a box inside the last.
TEST_F(UpdateFaultsTest, ErrorsWhileItsBoxIsOpenGoToTheLogNotIntoMoreBoxes) {
    startServer("flood500");
    put("OrvoFlash.exe", kFlasher);
    makeForm();
    const QString logged = "Error de transmisión 1 ! 500 Flood of errors.";
    const int kFlood = 2000; // the errors the server sends
    dialogs.onBox = [&](const MessageBox&) {
        if (dialogs.boxes.size() > 1) {
            return; // a box inside the box: counted, and closed at once
        }
        server.release(); // the rest of the flood comes now
        runLoopUntil([&] { return log().count(logged) + dialogs.boxes.size() >= kFlood; }, 10000);
    };
    form->FormActivate(form.get());
    ASSERT_TRUE(
        runLoopUntil([&] { return log().count(logged) + dialogs.boxes.size() >= kFlood; }, 15000));
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(log().count(logged), kFlood - 1);
}

TEST_F(UpdateFaultsTest, ActivationDuringTheProgramDownloadChangesNothing) {
    const QByteArray newProgram = test::patternBytes(70000);
    newerProgramRun("hold", newProgram);
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("OK Orvo_KR90X.exe"));
    const QStringList before = log();

    activate();
    test::drainEvents();
    EXPECT_EQ(log(), before);
    EXPECT_EQ(form->updateCheck().downloadKind(), UpdateCheck::DownloadKind::Exe);

    server.release();
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    EXPECT_TRUE(log().contains("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_EQ(read("Orvo_KR90X_Nuevo.exe"), newProgram);
    EXPECT_EQ(commandCount(retr("Orvo_KR90X.exe")), 1);
}

// The server ends the control connection in the middle of the program's download, with a
// 421 or without a word: the reason goes to the log, the download fails visibly, and the
// part that came never gets the program's name.
class ProgramCutOffTest
    : public UpdateFaultsTest,
      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ProgramCutOffTest, SaysWhyAndInstallsNothing) {
    const auto [fault, reason] = GetParam();
    newerProgramRun(fault, test::patternBytes(100000));
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Desconectado"));
    const QStringList lines = withoutByteCounts();
    const qsizetype at = lines.indexOf(reason);
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines.value(at + 1), "Desconectado");
    EXPECT_EQ(boxTexts(), QStringList{"Error de transmisión 1 !"});
    EXPECT_FALSE(log().contains("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    close();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_FALSE(exists("Orvo_KR90X_old.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe.part"));
}

INSTANTIATE_TEST_SUITE_P(
    ReplyAndDrop, ProgramCutOffTest,
    ::testing::Values(std::pair{"retr421", "421 Server going down for maintenance."},
                      std::pair{"cutdrop", "The remote host closed the connection"}));

// The tester did not answer (firmware download at once) while the manifest, which names
// the firmware's hash, is still on its way: the hand-off waits for it.
class FirmwareBeforeManifestTest : public UpdateFaultsTest,
                                   public ::testing::WithParamInterface<bool> {};

TEST_P(FirmwareBeforeManifestTest, IsCheckedAgainstTheManifestWhenItComes) {
    const bool hashMatches = GetParam();
    const QByteArray firmware = "firmware of the server";
    const QByteArray hash =
        hashMatches ? QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex()
                    : QByteArray(64, 'f');
    startServer("hold", "version.ini");
    serve("version.ini", manifest("104", "14", {}, "SHA256=" + hash + "\r\n"));
    serve("OrvoKR90X.hex", firmware);
    put("OrvoFlash.exe", kFlasher);
    makeForm();
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("OK version.ini"));
    form->Timer2Timer(form->Timer2);
    // Fetched whole, logged out, and waiting.
    ASSERT_TRUE(waitLog("OK OrvoKR90X.hex"));
    ASSERT_TRUE(clientState(form->FtpClientFirmware, TFtpProcessState::psClosed));
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(exists("OrvoKR90X.hex"));
    // The manifest too arrives under its ".part" name only.
    EXPECT_TRUE(exists("version.ini.part"));
    EXPECT_FALSE(exists("version.ini"));

    server.release();
    ASSERT_TRUE(waitLog("Version firmware KR90X servidor: 14"));
    ASSERT_TRUE(test::waitFor(
        [&] {
            return log().contains("Transferencia OrvoKR90X.hex completada") ||
                   log().contains("SHA256 incorrecto, borrado: OrvoKR90X.hex");
        },
        10000));
    EXPECT_EQ(started.size(), hashMatches ? 1u : 0u);
    EXPECT_EQ(exists("OrvoKR90X.hex"), hashMatches);
    EXPECT_FALSE(exists("OrvoKR90X.hex.part"));
}

INSTANTIATE_TEST_SUITE_P(RightAndWrongHash, FirmwareBeforeManifestTest, ::testing::Bool());

TEST_F(UpdateFaultsTest, FileThatCannotTakeItsNameIsLoggedNotCompleted) {
    startServer();
    serve("version.ini", manifest("104", "0"));
    serve("OrvoKR90X.hex", "firmware");
    put("OrvoFlash.exe", kFlasher);
    // Folders hold the names of the manifest and the firmware.
    ASSERT_TRUE(QDir(programDir.path()).mkpath("version.ini/inside"));
    ASSERT_TRUE(QDir(programDir.path()).mkpath("OrvoKR90X.hex/inside"));
    makeForm();
    const QString isADirectory = QString::fromLocal8Bit(std::strerror(EISDIR));

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    EXPECT_TRUE(log().contains("Error al instalar version.ini: " + isADirectory));
    EXPECT_FALSE(log().contains("Transferencia version.ini completada"));

    form->Timer2Timer(form->Timer2);
    ASSERT_TRUE(waitLog("Error al instalar OrvoKR90X.hex: " + isADirectory));
    EXPECT_FALSE(log().contains("Transferencia OrvoKR90X.hex completada"));
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(UpdateFaultsTest, EmptyProgramIsRefusedAndTheRunningOneStays) {
    newerProgramRun({}, {});
    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Conexión cerrada"));
    EXPECT_TRUE(log().contains("Fichero vacío, borrado: Orvo_KR90X_Nuevo.exe"));
    EXPECT_FALSE(log().contains("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_FALSE(exists("Orvo_KR90X_Nuevo.exe"));
    close();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
}

// A connect the kernel refuses at once (no route to the broadcast address): one line,
// the client closed, so a new program waiting from an earlier run is still put in place.
TEST_F(UpdateFaultsTest, NetworkThatCannotBeReachedLeavesTheClientClosed) {
    UpdateSettings s = settings();
    s.ServerAddress = "255.255.255.255";
    put("Orvo_KR90X.exe", kOldProgram);
    put("Orvo_KR90X_Nuevo.exe", "new program");
    makeForm(s);
    form->FormActivate(form.get());
    test::drainEvents();
    EXPECT_EQ(log(), QStringList{"Conexion a internet no disponible!"});
    EXPECT_FALSE(form->FtpClient1->Connected());
    form->FormActivate(form.get()); // and the next activation tries again
    EXPECT_EQ(log(), QStringList{"Conexion a internet no disponible!"});
    close();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(read("Orvo_KR90X.exe"), QByteArray("new program"));
}

// Installed under /usr by a package: the program does not replace itself, and the tool
// and the firmware live in the user's data folder, started from there.
TEST_F(UpdateFaultsTest, ProgramThatMayNotUpdateItselfKeepsItsDownloadsInTheDataFolder) {
    QTemporaryDir dataDir;
    startServer();
    serve("version.ini", manifest("105", "14"));
    serve("Orvo_KR90X.exe", "new program");
    serve("OrvoFlash.exe", kFlasher);
    serve("OrvoKR90X.hex", "firmware");
    put("Orvo_KR90X.exe", kOldProgram);
    state.DeviceFirmwareVersion = 12;
    UpdateSettings s = settings();
    s.placeDownloads(false, dataDir.path());
    makeForm(s);

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Transferencia OrvoFlash.exe completada"));
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    EXPECT_EQ(log().filter("Programa nuevo no instalado").size(), 1);
    EXPECT_EQ(commandCount(retr("Orvo_KR90X.exe")), 0);
    EXPECT_EQ(started[0].first, QDir(dataDir.path()).filePath("OrvoFlash.exe"));
    EXPECT_TRUE(QFileInfo(dataDir.filePath("OrvoFlash.exe")).permissions() & QFileDevice::ExeOwner);
    EXPECT_TRUE(QFileInfo::exists(dataDir.filePath("OrvoKR90X.hex")));
    EXPECT_EQ(QDir(programDir.path()).entryList(QDir::Files), QStringList{"Orvo_KR90X.exe"});
    close();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(read("Orvo_KR90X.exe"), kOldProgram);
    EXPECT_FALSE(QFileInfo::exists(dataDir.filePath("OrvoKR90X.hex")));
}

} // namespace
