// The client against a real vsftpd, started by the test with its own configuration.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

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

} // namespace
