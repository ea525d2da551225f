// The client against a real vsftpd, started by the test with its own configuration.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>

using namespace kr90x;
using namespace kr90x::test;
using PS = TFtpProcessState;
using SC = TFtpStatusCode;

namespace {

class VsftpdClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString error = server.startVsftpd();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        client.ServerAddress = "127.0.0.1";
        client.WsPort = QString::number(server.port());
        client.UserName = FtpTestServer::VsftpdUser;
        client.Password = FtpTestServer::VsftpdPassword;
        client.PassiveMode = true;
        // Far beyond the waits below: whatever ends the transfer, the clock does not.
        client.TransferTimeout = 1092;
    }

    FtpTestServer server;
    TFtpClient client;
    EventRecorder rec{client};
};

TEST_F(VsftpdClientTest, FetchesAFileWholeWithItsAnnouncedSize) {
    const QByteArray content = patternBytes(3 << 20);
    server.putFile("fw.bin", content);
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.Retrieve(server.remotePath("fw.bin"), server.localFile("fw.bin"),
                                TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scTransferOK) || rec.seenError(); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("fw.bin")), content);
    EXPECT_TRUE(client.Logout());
    EXPECT_EQ(server.commands().last(), "QUIT");
}

// vsftpd reads the control connection only between transfers: it answers ABOR once the
// client has closed the data connection.
TEST_F(VsftpdClientTest, AbortDuringATransferIsAnsweredAtOnce) {
    // Far more than the socket buffers on both sides hold: the transfer is still running.
    server.putFile("big.bin", QByteArray(64 << 20, 'k'));
    bool aborted = false;
    rec.onEvent = [&](const FtpEvent& e) {
        if (!aborted && !e.isError && SC(e.code) == SC::scProgress) {
            aborted = client.Abort();
        }
    };
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(client.Retrieve(server.remotePath("big.bin"), server.localFile("big.bin"),
                                TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seenError() || rec.seen(SC::scTimeout); }));
    EXPECT_TRUE(aborted);
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 426"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    // Its second answer (225) raises nothing; the session goes on.
    ASSERT_TRUE(client.CurrentDir());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scCurrentDir); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 426", "scCurrentDir"}));
    EXPECT_TRUE(server.commands().contains("ABOR"));
}

// vsftpd takes a read lock on the file it sends, and waits for it: a file the test holds
// a write lock on keeps RETR unanswered for as long as the test says. The client gives up
// at its time-out and sends ABOR; vsftpd reads it only once the RETR is over, which
// answers late (150, then 426 or 226), and then answers the ABOR. None of that raises
// anything, and the session's next transfer gets its own answers.
TEST_F(VsftpdClientTest, TimeOutDuringATransferAbortsItAndTheSessionGoesOn) {
    const QByteArray content = patternBytes(1 << 20);
    server.putFile("held.bin", content);
    QFile held(server.serverFile("held.bin"));
    ASSERT_TRUE(held.open(QIODevice::ReadWrite));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(held.handle(), F_SETLK, &lock), 0);

    ASSERT_TRUE(loginAndWait(client, rec));
    client.TransferTimeout = 4;
    ASSERT_TRUE(client.Retrieve(server.remotePath("held.bin"), server.localFile("held.bin"),
                                TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scTimeout) || rec.seenError(); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_TRUE(client.Connected());

    held.close(); // and with it the lock: vsftpd goes on with the RETR
    client.TransferTimeout = 1092;
    ASSERT_TRUE(client.Retrieve(server.remotePath("held.bin"), server.localFile("again.bin"),
                                TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.sequence().size() > 3; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("again.bin")), content);
    const QStringList commands = server.commands();
    EXPECT_EQ(commands.count("ABOR"), 1);
    EXPECT_EQ(commands.value(commands.indexOf("ABOR") - 1),
              "RETR " + QString::fromLatin1(server.remotePath("held.bin")));
}

} // namespace
