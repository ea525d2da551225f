// FTP over TLS against a real vsftpd with TLS (and our own server, for a certificate on
// the data connections alone), with certificates the test makes with openssl: what the
// client accepts, what it refuses, and that it never logs in where the server could not
// be checked.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

using namespace kr90x;
using namespace kr90x::test;
using SC = TFtpStatusCode;

namespace {

class TlsClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(certs.error().isEmpty()) << certs.error().toStdString(); }

    void start(const std::optional<FtpTestServer::Tls>& tls) {
        const QString error = server.startVsftpd(tls);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        // The name the certificates bear; it resolves to the server's 127.0.0.1.
        client.ServerAddress = "localhost";
        client.WsPort = QString::number(server.port());
        client.UserName = FtpTestServer::VsftpdUser;
        client.Password = FtpTestServer::VsftpdPassword;
        client.PassiveMode = true;
        client.Tls = FtpTls::Required;
        client.CaFile = certs.path("ca.pem");
    }
    // Logs in and fetches `content`; true when it arrived whole.
    bool fetch(const QByteArray& content) {
        server.putFile("fw.bin", content);
        if (!loginAndWait(client, rec) ||
            !client.Retrieve(server.remotePath("fw.bin"), server.localFile("fw.bin"),
                             TFtpRetrieveMode::rmReplace)) {
            return false;
        }
        return waitFor([&] { return rec.seen(SC::scTransferOK) || rec.seenError(); }) &&
               rec.seen(SC::scTransferOK) && readFile(server.localFile("fw.bin")) == content;
    }
    // The login ended before USER: closed, with the reason on the close event.
    void expectRefusedBeforeLogin(const char* reason) {
        ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scClose); }));
        ASSERT_TRUE(deliverQueued(client));
        EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scClose"}));
        const QByteArray why = rec.of(SC::scClose).front().text;
        EXPECT_TRUE(why.startsWith("TLS: ")) << why.data();
        EXPECT_TRUE(why.contains(reason)) << why.data();
        for (const QString& command : server.commands()) {
            EXPECT_FALSE(command.startsWith("USER") || command.startsWith("PASS"))
                << command.toStdString();
        }
    }

    TestCertificates certs;
    FtpTestServer server;
    TFtpClient client;
    EventRecorder rec{client};
};

class TlsSessionReuseTest : public TlsClientTest, public ::testing::WithParamInterface<bool> {};

// With require_ssl_reuse (vsftpd's default) a data connection that does not resume the
// control connection's session is refused; without it, any TLS data connection is taken.
TEST_P(TlsSessionReuseTest, AFileComesWholeOverProtectedControlAndDataConnections) {
    start(certs.serverTls("good.pem", GetParam()));
    EXPECT_TRUE(fetch(patternBytes(3 << 20))) << ::testing::PrintToString(rec.sequence());
    EXPECT_TRUE(client.ControlProtected());
    EXPECT_TRUE(client.DataProtected());
    const QStringList commands = server.commands();
    const qsizetype user = commands.indexOf("USER anonymous");
    ASSERT_GE(user, 3);
    EXPECT_EQ(commands.mid(user - 3, 3), (QStringList{"AUTH TLS", "PBSZ 0", "PROT P"}));
    EXPECT_TRUE(client.Logout());
}
INSTANTIATE_TEST_SUITE_P(RequireSslReuse, TlsSessionReuseTest, ::testing::Bool());

struct BadCertificate {
    const char* certificate;
    FtpTls mode;
    bool caFile;
    const char* reason; // as Qt words it
};

class TlsBadCertificateTest : public TlsClientTest,
                              public ::testing::WithParamInterface<BadCertificate> {};

TEST_P(TlsBadCertificateTest, EndsTheLoginBeforeUser) {
    const BadCertificate& c = GetParam();
    start(certs.serverTls(c.certificate));
    client.Tls = c.mode;
    if (!c.caFile) {
        client.CaFile.clear(); // the system's trust store
    }
    client.Login();
    expectRefusedBeforeLogin(c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsBadCertificateTest,
    ::testing::Values(BadCertificate{"otherhost.pem", FtpTls::Required, true, "host name"},
                      BadCertificate{"expired.pem", FtpTls::Required, true, "expired"},
                      BadCertificate{"selfsigned.pem", FtpTls::Required, false, "self-signed"},
                      // Try takes TLS when offered, and checks it just as strictly.
                      BadCertificate{"otherhost.pem", FtpTls::Try, true, "host name"},
                      // The system's trust store does not know the tests' CA.
                      BadCertificate{"good.pem", FtpTls::Required, false, "issuer"}));

TEST_F(TlsClientTest, RequiredEndsTheLoginWhenTheServerRefusesTls) {
    start(std::nullopt);
    client.Login();
    expectRefusedBeforeLogin("AUTH TLS");
}

TEST_F(TlsClientTest, TryFetchesInClearFromAServerWithoutTls) {
    start(std::nullopt);
    client.Tls = FtpTls::Try;
    EXPECT_TRUE(fetch(patternBytes(100000)));
    EXPECT_FALSE(client.ControlProtected());
    EXPECT_TRUE(server.commands().contains("AUTH TLS"));
}

// A certificate refused on a data connection speaks for that connection alone: the
// transfer fails with it, and the control connection, whose certificate was good, later
// ends as an ordinary logout, even when the server closes it without answering the QUIT.
// (Our own server: vsftpd has one certificate for both.)
TEST_F(TlsClientTest, ADataConnectionsBadCertificateFailsOnlyItsTransfer) {
    const QString error =
        server.startTls(certs.serverTls("good.pem"), certs.path("otherhost.pem"), "quit_close");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    configure(client, server);
    client.ServerAddress = "localhost";
    client.Tls = FtpTls::Required;
    client.CaFile = certs.path("ca.pem");
    server.putFile("fw.bin", patternBytes(100000));
    ASSERT_TRUE(loginAndWait(client, rec)) << ::testing::PrintToString(rec.sequence());
    ASSERT_TRUE(client.Retrieve(server.remotePath("fw.bin"), server.localFile("fw.bin"),
                                TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seenError() || rec.seen(SC::scTransferOK); }));
    const FtpEvent failed = rec.events.back();
    ASSERT_TRUE(failed.isError) << ::testing::PrintToString(rec.sequence());
    EXPECT_TRUE(failed.text.contains("host name")) << failed.text.data();

    // The server's own close, after QUIT and without a 221, ends the session as a 221
    // would: one logout and one close, and no failure.
    EXPECT_TRUE(client.Logout());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scClose); }));
    ASSERT_TRUE(deliverQueued(client));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", EventRecorder::errorName(failed.code),
                                   "scLogout", "scClose"}));
    const QByteArray why = rec.of(SC::scLogout).front().text;
    EXPECT_TRUE(why.isEmpty()) << why.data();
}

// The server agrees to TLS and then says nothing: the time-out ends the login, as it
// ends any other silence.
TEST(TlsSilenceTest, AServerSilentInTheHandshakeTimesOutWithoutLogin) {
    FtpTestServer server;
    const QString error = server.start("auth_silent");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    TFtpClient client;
    configure(client, server);
    client.Tls = FtpTls::Required;
    client.TransferTimeout = 10; // 550 ms: what is timed here is only that it ends
    EventRecorder rec{client};
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scTimeout); }));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server.commands(), QStringList{"AUTH TLS"});
}

} // namespace
