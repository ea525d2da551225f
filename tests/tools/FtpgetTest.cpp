// tools/ftpget against servers that fail it: it ends, and LOCAL is whole or untouched.
#include "support/FtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kr90x::test;

namespace {

class FtpgetTest : public ::testing::Test {
protected:
    struct Run {
        int exitCode = -1;
        QString output;
    };

    void startServer(const QString& fault) {
        const QString error = server.start(fault);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    // Bounded well beyond the time-out ftpget is given: it ends by itself or fails here.
    Run ftpget(const QString& remote, const QString& local, const QString& ticks = "1092",
               const QStringList& options = {}) {
        QProcess p;
        p.start(KR90X_FTPGET, options + QStringList{"127.0.0.1", QString::number(server.port()),
                                                    FtpTestServer::User, FtpTestServer::Password,
                                                    remote, local, ticks});
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput())};
    }
    static void write(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What the local folder holds, hidden files too: no temporary file may stay.
    QStringList localFolder() {
        return QDir(QFileInfo(server.localFile("x")).path())
            .entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    FtpTestServer server;
};

TEST_F(FtpgetTest, SilentServerAndAWebServerEndWithinTheTimeout) {
    for (const char* fault : {"silent", "http"}) {
        SCOPED_TRACE(fault);
        FtpTestServer other;
        ASSERT_TRUE(other.start(fault).isEmpty());
        QProcess p;
        p.start(KR90X_FTPGET, {"127.0.0.1", QString::number(other.port()), "u", "p", "/f",
                               other.localFile("f"), "4"});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(
            QString(p.readAllStandardOutput())
                .contains(fault == std::string("silent") ? "status scTimeout" : "error -4"));
        EXPECT_FALSE(QFile::exists(other.localFile("f")));
    }
}

TEST_F(FtpgetTest, ExistingLocalFileSurvivesAFailedTransfer) {
    startServer("cut226");
    server.putFile("file", patternBytes(100000));
    const QString local = server.localFile("file");
    write(local, "the copy we had");
    const Run run = ftpget("/file", local);
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_EQ(read(local), "the copy we had");
    EXPECT_EQ(localFolder(), QStringList{"file"});
}

TEST_F(FtpgetTest, CompleteFileReplacesLocalAndLeavesNothingElse) {
    startServer("");
    const QByteArray content = patternBytes(300000);
    server.putFile("file", content);
    const QString local = server.localFile("file");
    write(local, "older");
    const Run run = ftpget("/file", local);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(read(local), content);
    EXPECT_EQ(localFolder(), QStringList{"file"});
}

// The settings files' Tls, as an option: a server without TLS gets no login with
// "required", and serves the file in clear with "try".
TEST_F(FtpgetTest, TakesTheTlsSetting) {
    startServer("");
    server.putFile("file", patternBytes(1000));
    const QString local = server.localFile("file");
    const Run required = ftpget("/file", local, "1092", {"--tls", "required"});
    EXPECT_EQ(required.exitCode, 1);
    EXPECT_TRUE(required.output.contains("status scClose TLS: the server refused AUTH TLS (502)"))
        << required.output.toStdString();
    EXPECT_FALSE(server.commands().contains("USER orvo"));
    EXPECT_EQ(ftpget("/file", local, "1092", {"--tls", "try"}).exitCode, 0);
    EXPECT_EQ(read(local), patternBytes(1000));
    EXPECT_EQ(ftpget("/file", local, "1092", {"--tls", "maybe"}).exitCode, 2);
}

} // namespace

// A CR or LF in a name would end its command and run the rest on the server as one of its
// own: such a name or account is refused with a clear error, and nothing of it is sent.
TEST_F(FtpgetTest, ALineBreakInANameOrTheAccountSendsNothingOfIt) {
    startServer("");
    server.putFile("file", "kept");
    const Run run = ftpget("/file\r\nDELE /file", server.localFile("file"));
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("error -6 the remote file name holds a line break"))
        << run.output.toStdString();
    EXPECT_TRUE(server.commands().filter(QStringLiteral("DELE")).isEmpty());
    EXPECT_TRUE(server.commands().filter(QStringLiteral("RETR")).isEmpty());
    EXPECT_FALSE(QFile::exists(server.localFile("file")));

    const qsizetype logins = server.commands().filter(QStringLiteral("USER")).size();
    QProcess p;
    p.start(KR90X_FTPGET,
            {"127.0.0.1", QString::number(server.port()), QStringLiteral("user\nDELE /file"), "p",
             "/file", server.localFile("file"), "1092"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(QString(p.readAllStandardOutput()).contains("line break"));
    EXPECT_EQ(server.commands().filter(QStringLiteral("USER")).size(), logins);
    EXPECT_TRUE(server.commands().filter(QStringLiteral("DELE")).isEmpty());
}
