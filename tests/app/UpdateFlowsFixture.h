#pragma once

// The window's update flows against a local FTP server serving a temp update tree, with
// a temp program folder.
#include "app/TForm1.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/FtpTestServer.h"
#include "support/QtPrinters.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"
#include "update/UpdateCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kr90x::test {

inline const QString kHostDir = QStringLiteral("updates.test");
inline const QByteArray kOldProgram = "old program";
inline const QByteArray kFlasher =
    "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n";

inline QByteArray manifest(const QByteArray& program, const QByteArray& firmware,
                           const QByteArray& extraProgram = {},
                           const QByteArray& extraFirmware = {}) {
    return "[PC_Version]\r\nVersion=" + program + "\r\n" + extraProgram +
           "[KR90X_Version]\r\nVersion=" + firmware + "\r\n" + extraFirmware;
}

// A run of the window against a local update server, with a temp program folder.
class UpdateFlowsFixture : public ::testing::Test {
protected:
    AppState state;
    RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    FtpTestServer server;
    QTemporaryDir programDir;
    std::vector<std::pair<QString, QStringList>> started;
    int beeps = 0;
    std::unique_ptr<TForm1> form;

    bool vsftpd = false;

    void startServer(const QString& fault = {}, const QString& faultFile = {}) {
        const QString error = server.start(fault, 0.3, faultFile);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QDir().mkpath(server.serverFile(kHostDir + "/KR90X"));
    }
    void startVsftpd() {
        vsftpd = true;
        const QString error = server.startVsftpd();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QDir().mkpath(server.serverFile(kHostDir + "/KR90X"));
    }
    void serve(const QString& name, const QByteArray& content) {
        server.putFile(kHostDir + "/KR90X/" + name, content);
    }
    UpdateSettings settings() const {
        UpdateSettings s;
        s.ProgramDirectory = programDir.path();
        s.ServerAddress = QStringLiteral("127.0.0.1");
        s.Port = QString::number(server.port());
        s.UserName = vsftpd ? FtpTestServer::VsftpdUser : FtpTestServer::User;
        s.Password = vsftpd ? FtpTestServer::VsftpdPassword : FtpTestServer::Password;
        // The remote paths are "/" + this + "/KR90X/...".
        s.HostDirectory = QString::fromLocal8Bit(server.remotePath(kHostDir)).mid(1);
        return s;
    }
    // A run of the program; the real program starter when `realStart`.
    void makeForm(UpdateSettings s, bool realStart = false) {
        UpdateHooks hooks;
        if (!realStart) {
            hooks.startProgram = [this](const QString& p, const QStringList& a) {
                started.emplace_back(p, a);
            };
        }
        hooks.beep = [this] { ++beeps; };
        form = std::make_unique<TForm1>(state, dialogs, hid, s, std::move(hooks));
        // The first device pass goes before the check, as at a real start.
        drainEvents();
    }
    void makeForm() { makeForm(settings()); }
    // A server offering version 1.05 (a data fault, if any, on the program file), and a
    // program folder with the running program and the flashing tool.
    void newerProgramRun(const QString& fault, const QByteArray& program) {
        startServer(fault, "Orvo_KR90X.exe");
        serve("version.ini", manifest("105", "0"));
        serve("Orvo_KR90X.exe", program);
        put("OrvoFlash.exe", kFlasher);
        put("Orvo_KR90X.exe", kOldProgram);
        makeForm();
    }

    QString local(const QString& name) const { return programDir.filePath(name); }
    bool exists(const QString& name) const { return QFileInfo::exists(local(name)); }
    QByteArray read(const QString& name) const {
        QFile f(local(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void put(const QString& name, const QByteArray& content) const {
        QFile f(local(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    bool executable(const QString& name) const {
        return QFileInfo(local(name)).permissions() & QFileDevice::ExeOwner;
    }
    const QStringList& log() const { return form->log().lines(); }
    bool waitLog(const QString& line, int count = 1) {
        return waitFor([&] { return log().count(line) >= count; }, 10000);
    }
    int commandCount(const QString& command) const { return int(server.commands().count(command)); }
    QStringList boxTexts() const {
        QStringList out;
        for (const MessageBox& b : dialogs.boxes) {
            out << b.text;
        }
        return out;
    }
    QStringList withoutByteCounts() const {
        QStringList out;
        for (const QString& l : log()) {
            if (!l.endsWith(QLatin1String(" bytes Transferred"))) {
                out << l;
            }
        }
        return out;
    }
    QString retr(const QString& name) const {
        return "RETR " + QString::fromLocal8Bit(server.remotePath(kHostDir + "/KR90X/" + name));
    }
    void close() { form->close(); }
};

} // namespace kr90x::test
