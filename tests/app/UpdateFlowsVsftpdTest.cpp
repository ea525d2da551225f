// The whole update flow of the window against a real vsftpd, started by the test with
// its own configuration: manifest, new program, flashing tool and firmware.
#include "UpdateFlowsFixture.h"

#include <QFileSystemWatcher>

using namespace kr90x;
using kr90x::test::kFlasher;
using kr90x::test::kOldProgram;
using kr90x::test::manifest;

namespace {

class UpdateFlowsVsftpdTest : public test::UpdateFlowsFixture {};

// Whenever the program folder changes, every file of a final name that is there must be
// whole: downloads are only ever put in place complete.
class WholeFilesOnly {
public:
    WholeFilesOnly(const QString& folder, std::map<QString, QByteArray> expected)
        : folder_(folder), expected_(std::move(expected)) {
        watcher_.addPath(folder);
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { look(); });
    }
    void look() {
        for (const auto& [name, content] : expected_) {
            QFile f(QDir(folder_).filePath(name));
            if (f.open(QIODevice::ReadOnly) && f.readAll() != content) {
                partial_ << name;
            }
        }
    }
    const QStringList& partial() const { return partial_; }

private:
    QString folder_;
    std::map<QString, QByteArray> expected_;
    QFileSystemWatcher watcher_;
    QStringList partial_;
};

TEST_F(UpdateFlowsVsftpdTest, ManifestProgramToolAndFirmwareArriveWholeAndRunnable) {
    const QByteArray newProgram = test::patternBytes(3 << 20);
    const QByteArray firmware = test::patternBytes(200000);
    const QByteArray firmwareHash =
        QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex();
    const QByteArray programHash =
        QCryptographicHash::hash(newProgram, QCryptographicHash::Sha256).toHex();
    startVsftpd();
    serve("version.ini", manifest("105", "14", "SHA256=" + programHash + "\r\n",
                                  "SHA256=" + firmwareHash + "\r\n"));
    serve("Orvo_KR90X.exe", newProgram);
    serve("OrvoFlash.exe", kFlasher);
    serve("OrvoKR90X.hex", firmware);
    put("Orvo_KR90X.exe", kOldProgram);
    state.DeviceFirmwareVersion = 12; // the tester has reported
    makeForm();
    WholeFilesOnly watch(programDir.path(), {{"Orvo_KR90X_Nuevo.exe", newProgram},
                                             {"OrvoFlash.exe", kFlasher},
                                             {"OrvoKR90X.hex", firmware}});

    form->FormActivate(form.get());
    ASSERT_TRUE(waitLog("Transferencia OrvoFlash.exe completada"));
    ASSERT_TRUE(test::waitFor([&] { return !started.empty(); }, 10000));
    ASSERT_TRUE(test::waitFor(
        [&] {
            return !form->FtpClient1->Connected() && !form->FtpClientUpdater->Connected() &&
                   !form->FtpClientFirmware->Connected();
        },
        10000));
    watch.look();
    EXPECT_TRUE(watch.partial().isEmpty()) << watch.partial().join(", ").toStdString();
    EXPECT_TRUE(dialogs.boxes.size() == 1 &&
                dialogs.boxes[0].text.startsWith("New firmware for KR90X has been found"));
    EXPECT_TRUE(log().contains("Transferencia version.ini completada"));
    EXPECT_TRUE(log().contains("Transferencia Orvo_KR90X.exe completada"));
    EXPECT_TRUE(log().contains("Transferencia OrvoKR90X.hex completada"));
    EXPECT_EQ(read("Orvo_KR90X_Nuevo.exe"), newProgram);
    EXPECT_EQ(read("OrvoKR90X.hex"), firmware);
    EXPECT_EQ(started[0].first, local("OrvoFlash.exe"));
    EXPECT_EQ(QDir(programDir.path()).entryList({"*.part"}, QDir::Files), QStringList{});
    // Without a key nothing asks for a signature, and nothing talks TLS.
    EXPECT_EQ(commandCount(retr("version.ini.sig")), 0);
    EXPECT_EQ(commandCount("AUTH TLS"), 0);

    // The tool came without execute permission over FTP; it runs as it is now.
    QProcess flasher;
    flasher.start(local("OrvoFlash.exe"), {"English"});
    ASSERT_TRUE(flasher.waitForFinished(10000));
    EXPECT_EQ(read("args.txt"), "English\n");

    close();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(read("Orvo_KR90X.exe"), newProgram);
    EXPECT_TRUE(executable("Orvo_KR90X.exe"));
    EXPECT_TRUE(executable("OrvoFlash.exe"));
    EXPECT_FALSE(exists("Orvo_KR90X_old.exe"));
    EXPECT_FALSE(exists("version.ini"));
    EXPECT_FALSE(exists("OrvoKR90X.hex"));
    EXPECT_TRUE(watch.partial().isEmpty()) << watch.partial().join(", ").toStdString();
}

} // namespace
