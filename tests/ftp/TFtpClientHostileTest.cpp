// The client against servers and networks that would make it hang, loop or take a
// broken file: a web server, a network that cannot be reached or a connect that hangs,
// resets, bad 227 replies, files cut short, stalled or without end.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

using namespace kr90x;
using namespace kr90x::test;
using PS = TFtpProcessState;
using SC = TFtpStatusCode;

namespace {

class HostileServerTest : public FtpServerTest {
protected:
    // The session goes on: a later command gets its own answer and nothing else.
    void expectUsableAfter(const Seq& before) {
        ASSERT_TRUE(client.CurrentDir());
        ASSERT_TRUE(
            waitFor([&] { return rec.seen(SC::scCurrentDir) || rec.sequence().size() > 8; }));
        Seq expected = before;
        expected.push_back("scCurrentDir");
        EXPECT_EQ(rec.sequence(), expected);
    }
};

// A transfer time-out far beyond the test's own bound: an error that comes at all comes
// at once, not from the clock.
constexpr int kLongTimeout = 1092;

TEST_F(HostileServerTest, GreetingThatIsNoFtpReplyEndsInAnErrorAndACloseAtOnce) {
    startServer("http");
    client.TransferTimeout = kLongTimeout;
    EXPECT_TRUE(client.Login());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scClose); }));
    ASSERT_TRUE(deliverQueued(client));
    EXPECT_EQ(rec.sequence(), (Seq{EventRecorder::errorName(kFtpErrorNotFtp), "scClose"}));
    EXPECT_EQ(rec.events[0].text, "HTTP/1.1 400 Bad Request");
    EXPECT_FALSE(client.Connected());
}

// The kernel refuses a TCP connect to the broadcast address at once (ENETUNREACH): no
// packet leaves the machine.
TEST_F(HostileServerTest, ConnectThatFailsAtOnceThrowsAndLeavesTheClientClosed) {
    client.ServerAddress = "255.255.255.255";
    client.WsPort = "21";
    EXPECT_THROW(client.Login(), FtpException);
    EXPECT_EQ(client.ProcessState(), PS::psClosed);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Logout());
    // Anything queued by then is delivered before this marker.
    bool marker = false;
    QMetaObject::invokeMethod(
        &client, [&] { marker = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(waitFor([&] { return marker; }));
    EXPECT_TRUE(rec.events.empty());
}

// With a 426 after the reset, which of the two the client sees first is up to the
// network; either way the transfer fails once.
TEST_F(HostileServerTest, ResetDataConnectionIsAnErrorAtOnceAndItsLateReplyIsDropped) {
    const std::string resetError = EventRecorder::errorName(10054); // WSAECONNRESET
    for (const char* fault : {"reset", "reset426"}) {
        SCOPED_TRACE(fault);
        FtpTestServer faulty;
        ASSERT_TRUE(faulty.start(fault).isEmpty());
        TFtpClient reset;
        configure(reset, faulty);
        reset.TransferTimeout = kLongTimeout;
        EventRecorder events(reset);
        faulty.putFile("file", patternBytes(100000));
        ASSERT_TRUE(loginAndWait(reset, events));
        ASSERT_TRUE(reset.Retrieve("/file", faulty.localFile("file"), TFtpRetrieveMode::rmReplace));
        ASSERT_TRUE(waitFor([&] { return events.seenError() || events.seen(SC::scTransferOK); }));
        const Seq failed = events.sequence();
        ASSERT_EQ(failed.size(), 3u);
        if (fault == std::string("reset")) {
            EXPECT_EQ(failed[2], resetError);
            EXPECT_EQ(events.events.back().text, QByteArray(std::strerror(ECONNRESET)));
        } else {
            EXPECT_TRUE(failed[2] == resetError || failed[2] == "error 426") << failed[2];
        }
        EXPECT_EQ(events.events.back().state, PS::psIdle);
        ASSERT_TRUE(reset.CurrentDir());
        ASSERT_TRUE(waitFor([&] { return events.seen(SC::scCurrentDir); }));
        EXPECT_EQ(events.sequence(), (Seq{"scOpen", "scLogin", failed[2], "scCurrentDir"}));
    }
}

TEST_F(HostileServerTest, AddressOnTheFinalLineOfAMultiLine227IsUsed) {
    startServer("pasv_multiline");
    const QByteArray content = patternBytes(50000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(HostileServerTest, Reply227WithANumberAbove255ConnectsNowhereAndFails) {
    startServer("pasv_bad");
    startRetrieve("payload");
    ASSERT_TRUE(waitEnd());
    const std::string noAddress = EventRecorder::errorName(10049); // WSAEADDRNOTAVAIL
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", noAddress}));
    EXPECT_TRUE(rec.events.back().text.contains("1216,256"));
    EXPECT_TRUE(server.commands().filter("RETR").isEmpty());
    expectUsableAfter({"scOpen", "scLogin", noAddress});
}

TEST_F(HostileServerTest, MoreBytesThanAnnouncedStopTheTransfer) {
    startServer("oversize");
    client.TransferTimeout = kLongTimeout;
    const QByteArray content = patternBytes(200000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    const std::string tooLarge = EventRecorder::errorName(kFtpErrorTooLarge);
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", tooLarge}));
    EXPECT_LE(rec.events.back().bytes, content.size() / 2); // the server announces half
    EXPECT_LE(QFileInfo(server.localFile("file")).size(), content.size() / 2);
}

TEST_F(HostileServerTest, FileWithoutEndStopsAtTheBoundAndTheSessionGoesOn) {
    startServer("endless");
    client.TransferTimeout = kLongTimeout;
    client.MaxTransferBytes = 1 << 20;
    startRetrieve(patternBytes(65536));
    ASSERT_TRUE(waitEnd());
    const std::string tooLarge = EventRecorder::errorName(kFtpErrorTooLarge);
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", tooLarge}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_LE(QFileInfo(server.localFile("file")).size(), client.MaxTransferBytes);
    expectUsableAfter({"scOpen", "scLogin", tooLarge});
}

TEST_F(HostileServerTest, DataCutShortWith226IsNotASuccess) {
    startServer("cut226");
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(),
              (Seq{"scOpen", "scLogin", EventRecorder::errorName(kFtpErrorIncompleteTransfer)}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_EQ(rec.events.back().bytes, content.size() / 2); // the server sends half
    EXPECT_TRUE(client.Connected());
}

TEST_F(HostileServerTest, AllDataButNo226EndsInTimeoutNotSuccess) {
    startServer("no226");
    client.TransferTimeout = 6;
    startRetrieve(patternBytes(100000));
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_EQ(rec.events.back().bytes, 100000);
    EXPECT_TRUE(client.Connected());
}

TEST_F(HostileServerTest, Reply226BeforeTheDataWaitsForTheData) {
    startServer("early226");
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(rec.events.back().bytes, content.size());
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(HostileServerTest, StallShorterThanTheTimeoutCompletes) {
    startServer("stall_short", 0.3);
    client.TransferTimeout = 60; // 3.3 s
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

// The client gives up on a stalled transfer: ABOR goes out once the data connection is
// closed, the server's answers to it (426, 226) raise nothing, and the session goes on
// with the next file, which the fault leaves alone.
TEST_F(HostileServerTest, StallLongerThanTheTimeoutAbortsTheTransferAndTheSessionGoesOn) {
    ASSERT_TRUE(server.start("stall_long", 0.3, "file").isEmpty());
    configure(client, server);
    client.TransferTimeout = 4;
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout"}));
    const FtpEvent timeout = rec.events.back();
    EXPECT_EQ(timeout.state, PS::psIdle);
    EXPECT_EQ(timeout.bytes, content.size() / 2); // the server stalls after half
    server.putFile("next", "next file");
    ASSERT_TRUE(client.Retrieve("/next", server.localFile("next"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.sequence().size() > 3; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("next")), "next file");
    EXPECT_EQ(server.commands().filter("ABOR").size(), 1);
}

TEST_F(HostileServerTest, PasvNamingAnotherAddressConnectsToTheControlPeer) {
    startServer("pasv_other");
    const QByteArray content = patternBytes(40000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(HostileServerTest, RefusedConnectionRaisesOneClose) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // nothing listens there now
    client.ServerAddress = "127.0.0.1";
    client.WsPort = QString::number(port);
    EXPECT_TRUE(client.Login());
    ASSERT_TRUE(waitFor([&] { return !rec.events.empty(); }));
    // Anything queued with the first event is delivered before this marker.
    bool marker = false;
    QMetaObject::invokeMethod(
        &client, [&] { marker = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(waitFor([&] { return marker; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scClose"}));
    EXPECT_EQ(rec.events[0].state, PS::psClosed);
}

TEST_F(HostileServerTest, ConnectTimeoutRaisesMinus1AtOnceAheadOfTheClose) {
    // A listener whose accept queue is full drops further connection attempts, so the
    // connect neither succeeds nor fails: it hangs, all on loopback.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, ntohs(addr.sin_port));
    }
    client.ServerAddress = "127.0.0.1";
    client.WsPort = QString::number(ntohs(addr.sin_port));
    client.ConnectTimeout = 4;
    EXPECT_TRUE(client.Login());
    const bool ended = waitFor([&] { return rec.seen(SC::scClose); }) && deliverQueued(client);
    ::close(listener);
    ASSERT_TRUE(ended);
    EXPECT_EQ(rec.sequence(), (Seq{EventRecorder::errorName(kFtpErrorConnectTimeout), "scClose"}));
    EXPECT_EQ(rec.events[0].state, PS::psClosed);
}

} // namespace
