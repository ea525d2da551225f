#pragma once

// Update flows with the publisher's key: a key pair made for the test, manifests signed
// with it, and settings that hold its public key.
#include "UpdateFlowsFixture.h"
#include "update/Manifest.h"
#include "update/UpdateSequence.h"
#include "update/UpdateSignature.h"

namespace kr90x::test {

inline QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

class SignedUpdatesFixture : public UpdateFlowsFixture {
protected:
    const QByteArray newProgram = patternBytes(300000);
    const QByteArray firmware = patternBytes(50000);
    const std::pair<QByteArray, QByteArray> keys = makeKeyPair(); // public, secret
    QTemporaryDir stateDir; // the program's data folder, where it keeps the sequence

    QString sequenceFile() const { return stateDir.filePath("update.sequence"); }

    // Program 1.05 and firmware 14, each with its hash, and the flashing tool's.
    QByteArray signedManifest() const {
        return fresh(manifest("105", "14", "SHA256=" + sha256Hex(newProgram) + "\r\n",
                              "SHA256=" + sha256Hex(firmware) + "\r\n") +
                     "[OrvoFlash]\r\nSHA256=" + sha256Hex(kFlasher) + "\r\n");
    }
    // How long the publisher's tool says a manifest counts: by default a first one, for
    // thirty days from now.
    static QByteArray fresh(const QByteArray& text, int sequence = 1,
                            qint64 validSeconds = 30 * 86400) {
        return text + "[Freshness]\r\nSequence=" + QByteArray::number(sequence) +
               "\r\nExpires=" + expiryText(QDateTime::currentDateTimeUtc().addSecs(validSeconds)) +
               "\r\n";
    }
    QByteArray sign(const QByteArray& text) const { return signDetached(text, keys.second); }
    // The files a publisher offers after signing: the manifest, its signature, and what
    // the manifest names.
    void servePublished(QByteArray manifestText, const QByteArray& program) {
        if (!manifestText.contains("[Freshness]")) {
            manifestText = fresh(manifestText);
        }
        serve("version.ini", manifestText);
        serve("version.ini.sig", sign(manifestText));
        serve("Orvo_KR90X.exe", program);
        serve("OrvoFlash.exe", kFlasher);
        serve("OrvoKR90X.hex", firmware);
    }
    UpdateSettings signedSettings() const {
        UpdateSettings s = settings();
        s.PublicKey = keyText(keys.first);
        s.SequenceFile = sequenceFile();
        return s;
    }
    // A run whose tester reported firmware 12, with the old program and no flashing tool.
    void makeSignedRun(UpdateSettings s) {
        put("Orvo_KR90X.exe", kOldProgram);
        state.DeviceFirmwareVersion = 12;
        makeForm(std::move(s));
    }

    // Signed, the tool runs as a copy in a folder of the program's own, with a copy of the
    // firmware beside it, both as the manifest names them.
    void expectStartedFromACheckedCopy(const QString& tool) const {
        const QFileInfo info(tool);
        EXPECT_TRUE(info.absolutePath().startsWith(programDir.path() + "/.OrvoFlash-"))
            << tool.toStdString();
        EXPECT_EQ(QFileInfo(info.absolutePath()).permissions() & 0x0077, 0);
        QFile copy(tool);
        QFile firmwareCopy(info.absolutePath() + "/OrvoKR90X.hex");
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && firmwareCopy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), kFlasher);
        EXPECT_EQ(firmwareCopy.readAll(), firmware);
    }

    bool logHas(const QString& part) const {
        return std::any_of(log().begin(), log().end(),
                           [&](const QString& line) { return line.contains(part); });
    }
    bool waitLogHas(const QString& part) {
        return waitFor([&] { return logHas(part); }, 10000);
    }
    bool waitAllClosed() {
        return waitFor(
            [&] {
                return !form->FtpClient1->Connected() && !form->FtpClientUpdater->Connected() &&
                       !form->FtpClientFirmware->Connected();
            },
            10000);
    }
    QStringList programFolder() const {
        return QDir(programDir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // Nothing of the update was fetched, installed or started, and the user was told once.
    void expectNothingTaken() {
        EXPECT_EQ(state.ServerProgramVersion, 0);
        EXPECT_EQ(state.ServerFirmwareVersion, 0);
        EXPECT_FALSE(state.FirmwareCheckStarted);
        EXPECT_TRUE(started.empty());
        for (const char* file : {"Orvo_KR90X.exe", "OrvoFlash.exe", "OrvoKR90X.hex"}) {
            EXPECT_EQ(commandCount(retr(file)), 0) << file;
        }
        EXPECT_EQ(programFolder(), QStringList{"Orvo_KR90X.exe"});
        EXPECT_EQ(boxTexts(), QStringList{refusalBox()});
    }
    static QString refusalBox() {
        return QStringLiteral("La actualización no es auténtica (firma o SHA256 incorrectos).\r\n"
                              "No se ha instalado nada.");
    }
};

} // namespace kr90x::test
