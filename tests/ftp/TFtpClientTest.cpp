// The client against a plain pyftpdlib server: login, retrieve, directory, logout, close
// events and their states, and the rules for handlers that act on the client.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <memory>

using namespace kr90x;
using namespace kr90x::test;
using PS = TFtpProcessState;
using SC = TFtpStatusCode;

namespace {

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString error = server.start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        configure(client, server);
    }

    bool waitTransfer() {
        return waitFor([&] { return rec.seen(SC::scTransferOK) || rec.seenError(); });
    }

    FtpTestServer server;
    TFtpClient client;
    EventRecorder rec{client};
};

TEST_F(FtpClientTest, LoginRaisesOpenThenLoginAndLeavesClientIdle) {
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(client.Login());
    EXPECT_EQ(client.ProcessState(), PS::psLogin);
    EXPECT_TRUE(client.InProgress());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scLogin); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin"}));
    EXPECT_EQ(rec.events[0].state, PS::psLogin);
    EXPECT_TRUE(rec.events[0].text.startsWith("pyftpdlib")) << rec.events[0].text.toStdString();
    EXPECT_EQ(rec.events[1].state, PS::psIdle);
    EXPECT_TRUE(rec.events[1].loggedIn);
    EXPECT_TRUE(client.Connected());
    EXPECT_FALSE(client.InProgress());
    EXPECT_FALSE(client.Login()) << "a logged-in client does nothing on Login";
    EXPECT_EQ(server.commands(), (QStringList{"USER orvo", "PASS secretpassword"}));
}

TEST_F(FtpClientTest, RetrieveSendsTypePasvRetrAndFetchesTheFileBlockByBlock) {
    const QByteArray content = patternBytes(300000);
    server.putFile("fw.bin", content);
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(
        client.Retrieve("/fw.bin", server.localFile("fw.bin"), TFtpRetrieveMode::rmReplace));
    EXPECT_EQ(client.ProcessState(), PS::psGet);
    ASSERT_TRUE(waitTransfer());

    const auto progress = rec.of(SC::scProgress);
    ASSERT_FALSE(progress.empty());
    // One event per block; a handler reads the count as it stands when it runs.
    qint64 last = 0;
    for (const FtpEvent& e : progress) {
        EXPECT_GE(e.bytes, last);
        EXPECT_TRUE(e.state == PS::psGet || e.state == PS::psIdle); // "or later"
        last = e.bytes;
    }
    EXPECT_GE(progress.size(), size_t(300000 / TFtpClient::DataBufferSize + 1));
    EXPECT_LE(progress.front().bytes, TFtpClient::DataBufferSize);
    EXPECT_EQ(progress.back().bytes, content.size());
    const FtpEvent done = rec.of(SC::scTransferOK).at(0);
    EXPECT_EQ(done.state, PS::psIdle);
    EXPECT_EQ(done.bytes, content.size());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("fw.bin")), content);
    EXPECT_EQ(server.commands().mid(2), (QStringList{"TYPE I", "PASV", "RETR /fw.bin"}));
}

TEST_F(FtpClientTest, RetrieveIsRefusedOutsideIdleAndWithoutNames) {
    server.putFile("a.bin", patternBytes(10));
    EXPECT_FALSE(client.Retrieve("/a.bin", server.localFile("a"), TFtpRetrieveMode::rmReplace));
    client.Login();
    EXPECT_FALSE(client.Retrieve("/a.bin", server.localFile("a"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scLogin); }));
    EXPECT_FALSE(client.Retrieve("", server.localFile("a"), TFtpRetrieveMode::rmReplace));
    EXPECT_FALSE(client.Retrieve("/a.bin", "", TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(client.Retrieve("/a.bin", server.localFile("a"), TFtpRetrieveMode::rmReplace));
    EXPECT_FALSE(client.Retrieve("/a.bin", server.localFile("b"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitTransfer());
    EXPECT_EQ(server.commands().filter("RETR").size(), 1);
    EXPECT_FALSE(QFileInfo::exists(server.localFile("b")));
}

TEST_F(FtpClientTest, ZeroByteFileEndsWithTransferOkAndAnEmptyFile) {
    server.putFile("empty.bin", {});
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.Retrieve("/empty.bin", server.localFile("e"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitTransfer());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(rec.events.back().bytes, 0);
    EXPECT_TRUE(QFileInfo::exists(server.localFile("e")));
    EXPECT_EQ(QFileInfo(server.localFile("e")).size(), 0);
}

TEST_F(FtpClientTest, MissingFileGives550AndLeavesAnEmptyFileAndAUsableSession) {
    QFile old(server.localFile("x"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.Retrieve("/nothere", server.localFile("x"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seenError(); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 550"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_TRUE(rec.events.back().text.startsWith("550 "));
    EXPECT_EQ(QFileInfo(server.localFile("x")).size(), 0);

    server.putFile("ok.bin", "fine");
    ASSERT_TRUE(client.Retrieve("/ok.bin", server.localFile("ok"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scTransferOK); }));
    EXPECT_EQ(readFile(server.localFile("ok")), "fine");
}

TEST_F(FtpClientTest, AppendAndRestartModesPositionTheLocalFile) {
    const QByteArray content = patternBytes(5000);
    server.putFile("f.bin", content);
    ASSERT_TRUE(loginAndWait(client, rec));
    {
        QFile f(server.localFile("app"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("head");
    }
    ASSERT_TRUE(client.Retrieve("/f.bin", server.localFile("app"), TFtpRetrieveMode::rmAppend));
    ASSERT_TRUE(waitFor([&] { return rec.of(SC::scTransferOK).size() == 1; }));
    EXPECT_EQ(readFile(server.localFile("app")), "head" + content);

    {
        QFile f(server.localFile("rst"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content.left(1000));
    }
    client.RestartAt = -1; // beyond or below the file: its size is used
    ASSERT_TRUE(client.Retrieve("/f.bin", server.localFile("rst"), TFtpRetrieveMode::rmRestart));
    ASSERT_TRUE(waitFor([&] { return rec.of(SC::scTransferOK).size() == 2 || rec.seenError(); }));
    EXPECT_EQ(client.RestartAt, 1000);
    EXPECT_EQ(readFile(server.localFile("rst")), content);
    EXPECT_EQ(server.commands().mid(server.commands().size() - 4),
              (QStringList{"TYPE I", "PASV", "REST 1000", "RETR /f.bin"}));
}

TEST_F(FtpClientTest, CurrentDirRaisesThePathWhenIdleOnly) {
    EXPECT_FALSE(client.CurrentDir());
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.CurrentDir());
    EXPECT_EQ(client.ProcessState(), PS::psCmd);
    EXPECT_FALSE(client.CurrentDir());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scCurrentDir); }));
    const FtpEvent dir = rec.of(SC::scCurrentDir).at(0);
    EXPECT_EQ(dir.text, "/");
    EXPECT_EQ(dir.state, PS::psIdle);
}

TEST_F(FtpClientTest, AbortOnAnIdleClientSendsNothing) {
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_FALSE(client.Abort());
    ASSERT_TRUE(client.CurrentDir()); // a marker after the abort that was not sent
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scCurrentDir); }));
    EXPECT_EQ(server.commands().filter("ABOR").size(), 0);
}

TEST_F(FtpClientTest, LogoutQueuesLogoutThenCloseAndReturnsClosed) {
    EXPECT_FALSE(client.Logout()) << "a closed client returns at once";
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_TRUE(client.Logout());
    EXPECT_EQ(client.ProcessState(), PS::psClosed);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.InProgress());
    EXPECT_FALSE(client.UserLoggedIn());
    ASSERT_TRUE(waitFor([&] { return rec.events.size() == 4; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scLogout", "scClose"}));
    EXPECT_EQ(rec.events[2].state, PS::psClosed);
    EXPECT_EQ(rec.events[3].state, PS::psClosed);
    EXPECT_EQ(server.commands().last(), "QUIT");

    // and a client goes round again
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.of(SC::scLogin).size() == 2; }));
}

TEST_F(FtpClientTest, WrongPasswordRaises530AndStaysConnectedInLogin) {
    client.Password = "wrong";
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.seenError(); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "error 530"}));
    EXPECT_EQ(rec.events.back().state, PS::psLogin);
    EXPECT_FALSE(rec.events.back().loggedIn);
    EXPECT_TRUE(client.Connected());
    // Login again sends USER once more on the standing connection
    client.Password = FtpTestServer::Password;
    EXPECT_TRUE(client.Login());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scLogin); }));
}

TEST_F(FtpClientTest, AStatusHandlerStartsTheNextRetrieveAndLogsOutInside) {
    server.putFile("one", patternBytes(70000));
    server.putFile("two", "second");
    int transfers = 0;
    bool logoutReturned = false;
    rec.onEvent = [&](const FtpEvent& e) {
        if (e.isError) {
            return;
        }
        if (SC(e.code) == SC::scLogin) {
            client.Retrieve("/one", server.localFile("one"), TFtpRetrieveMode::rmReplace);
        } else if (SC(e.code) == SC::scTransferOK && ++transfers == 1) {
            EXPECT_TRUE(
                client.Retrieve("/two", server.localFile("two"), TFtpRetrieveMode::rmReplace));
        } else if (SC(e.code) == SC::scTransferOK) {
            client.Logout(); // runs the loop: other events may be handled inside
            logoutReturned = !client.Connected();
        }
    };
    client.Login();
    ASSERT_TRUE(waitFor([&] { return logoutReturned && rec.sequence().size() >= 6; }));
    EXPECT_EQ(rec.sequence(),
              (Seq{"scOpen", "scLogin", "scTransferOK", "scTransferOK", "scLogout", "scClose"}));
    EXPECT_EQ(readFile(server.localFile("two")), "second");
}

TEST_F(FtpClientTest, DiscardingTheClientMidTransferRaisesNothingMore) {
    server.putFile("big", patternBytes(2 << 20));
    auto doomed = std::make_unique<TFtpClient>();
    configure(*doomed, server);
    EventRecorder doomedRec(*doomed);
    int afterDiscard = 0;
    bool discarded = false;
    doomedRec.onEvent = [&](const FtpEvent& e) {
        if (discarded) {
            ++afterDiscard;
            return;
        }
        if (SC(e.code) == SC::scLogin) {
            doomed->Retrieve("/big", server.localFile("big"), TFtpRetrieveMode::rmReplace);
        } else if (SC(e.code) == SC::scProgress) {
            discarded = true;
            doomed.reset(); // from inside its own handler
        }
    };
    doomed->Login();
    ASSERT_TRUE(waitFor([&] { return discarded; }));
    // A second session to the same server as a marker that the loop went on.
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.Logout());
    EXPECT_EQ(afterDiscard, 0);
}

TEST_F(FtpClientTest, ThreeClientsLogInToTheSameServerAtOnce) {
    TFtpClient second, third;
    configure(second, server);
    configure(third, server);
    EventRecorder r2(second), r3(third);
    client.Login();
    second.Login();
    third.Login();
    ASSERT_TRUE(waitFor(
        [&] { return rec.seen(SC::scLogin) && r2.seen(SC::scLogin) && r3.seen(SC::scLogin); }));
}

TEST_F(FtpClientTest, LoginThatCannotStartThrowsAndLeavesTheClientClosed) {
    TFtpClient other;
    EXPECT_THROW(other.Login(), FtpException); // no address
    other.ServerAddress = "nohost.invalid";
    EXPECT_THROW(other.Login(), FtpException);
    other.ServerAddress = "127.0.0.1";
    other.WsPort = "no-such-service-name";
    EXPECT_THROW(other.Login(), FtpException);
    EXPECT_EQ(other.ProcessState(), PS::psClosed);
    other.WsPort = QString::number(server.port());
    EXPECT_TRUE(other.Login());
}

} // namespace
