// The client against a server that misbehaves: every fault starts its own server.
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

class FtpFaultTest : public FtpServerTest {};

TEST_F(FtpFaultTest, MultiLineGreetingRaisesOneOpenWithAllItsLines) {
    startServer("multiline_greeting");
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin"}));
    EXPECT_EQ(rec.events[0].text,
              "Welcome to the test server\r\n220-second line\r\n221 not the end: other code\r\n");
}

TEST_F(FtpFaultTest, ReplyLongerThanTheBufferIsCutAndItsEndStillFound) {
    startServer("huge_greeting");
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin"}));
    EXPECT_EQ(rec.events[0].text.size(), FtpReplyReader::ReplyBufferText - 4);
}

TEST_F(FtpFaultTest, GreetingArrivingInSlowPiecesIsReadAsOneReply) {
    startServer("slow_greeting");
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin"}));
    EXPECT_EQ(rec.events[0].text, "slow start\r\n");
}

TEST_F(FtpFaultTest, Reply421DuringLoginFailsItAndClosesOnce) {
    startServer("login421");
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scClose); }));
    ASSERT_TRUE(deliverQueued(client));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "error 421", "scClose"}));
    EXPECT_EQ(rec.events[1].state, PS::psClosed);
    EXPECT_EQ(client.ProcessState(), PS::psClosed);
}

TEST_F(FtpFaultTest, ServerDroppingALoggedInClientRaisesLogoutThenClose) {
    startServer("drop_idle");
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(waitFor([&] { return !client.Connected(); }));
    // a marker: a fresh login on the same client shows the loop has moved past the close
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.of(SC::scLogin).size() == 2; }));
    EXPECT_EQ(rec.sequence(),
              (Seq{"scOpen", "scLogin", "scLogout", "scClose", "scOpen", "scLogin"}));
    EXPECT_EQ(rec.of(SC::scLogout).at(0).text, "The remote host closed the connection");
}

TEST_F(FtpFaultTest, Reply332WithoutAnAccountIsAnErrorAndSendsNoEmptyAcct) {
    startServer("acct332");
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.seenError(); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "error 332"}));
    EXPECT_EQ(rec.events.back().state, PS::psLogin);
    EXPECT_TRUE(server.commands().filter("ACCT").isEmpty());
}

// The refusal is the login's outcome: no time-out comes after it, and the connection
// waits for the next Login. A second client, whose longer time-out runs out on a silent
// server, shows that the first one's would have run out by then.
TEST_F(FtpFaultTest, RefusedLoginIsNotTimedOutLater) {
    startServer("acct332");
    client.TransferTimeout = 4;
    client.Login();
    ASSERT_TRUE(waitFor([&] { return rec.seenError(); }));
    FtpTestServer silent;
    ASSERT_TRUE(silent.start("silent").isEmpty());
    TFtpClient witness;
    configure(witness, silent);
    witness.TransferTimeout = 3 * client.TransferTimeout;
    EventRecorder witnessRec(witness);
    witness.Login();
    ASSERT_TRUE(waitFor([&] { return witnessRec.seen(SC::scTimeout); }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "error 332"}));
    EXPECT_TRUE(client.Connected());
}

TEST_F(FtpFaultTest, Reply332IsAnsweredWithTheAccountWhenThereIsOne) {
    startServer("acct332");
    client.Account = "workshop";
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_TRUE(server.commands().contains("ACCT workshop"));
}

TEST_F(FtpFaultTest, Reply425ToRetrLeavesTheSessionUsable) {
    startServer("retr425");
    startRetrieve("payload");
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 425"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    ASSERT_TRUE(client.Retrieve("/file", server.localFile("file"), TFtpRetrieveMode::rmReplace));
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scTransferOK); }));
    EXPECT_EQ(readFile(server.localFile("file")), "payload");
}

TEST_F(FtpFaultTest, DataCutShortWith226IsNotASuccess) {
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

TEST_F(FtpFaultTest, DataCutShortWith426RaisesTheError) {
    startServer("cut426");
    startRetrieve(patternBytes(100000));
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 426"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
}

// The server's reason goes with the first close event; a transfer it cuts off fails
// visibly, ahead of the close.
TEST_F(FtpFaultTest, ControlConnectionEndedDuringATransferFailsItAndTellsWhy) {
    struct Case {
        const char* fault;
        Seq sequence;
        QByteArray reason;
    };
    for (const Case& c : {Case{"retr421",
                               {"scOpen", "scLogin", "error 421", "scLogout", "scClose"},
                               "421 Server going down for maintenance."},
                          Case{"cutdrop",
                               {"scOpen", "scLogin", "error 10054", "scLogout", "scClose"},
                               "The remote host closed the connection"}}) {
        SCOPED_TRACE(c.fault);
        FtpTestServer faulty;
        ASSERT_TRUE(faulty.start(c.fault).isEmpty());
        TFtpClient cut;
        configure(cut, faulty);
        EventRecorder events(cut);
        faulty.putFile("file", patternBytes(100000));
        ASSERT_TRUE(loginAndWait(cut, events));
        ASSERT_TRUE(cut.Retrieve("/file", faulty.localFile("file"), TFtpRetrieveMode::rmReplace));
        ASSERT_TRUE(waitFor([&] { return events.sequence().size() >= c.sequence.size(); }));
        EXPECT_EQ(events.sequence(), c.sequence);
        EXPECT_EQ(events.of(SC::scLogout).at(0).text, c.reason);
        EXPECT_EQ(events.of(SC::scLogout).at(0).state, PS::psClosed);
    }
}

TEST_F(FtpFaultTest, Reply421WhileIdleGivesItsTextWithTheLogout) {
    startServer("idle421");
    ASSERT_TRUE(loginAndWait(client, rec));
    ASSERT_TRUE(waitFor([&] { return rec.events.size() >= 4; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scLogout", "scClose"}));
    EXPECT_EQ(rec.events[2].text, "421 Idle too long, closing control connection.");
    EXPECT_EQ(rec.events[3].text, "");
}

TEST_F(FtpFaultTest, AllDataButNo226EndsInTimeoutNotSuccess) {
    startServer("no226");
    client.TransferTimeout = 6;
    startRetrieve(patternBytes(100000));
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_EQ(rec.events.back().bytes, 100000);
    EXPECT_TRUE(client.Connected());
}

TEST_F(FtpFaultTest, Reply226BeforeTheDataWaitsForTheData) {
    startServer("early226");
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(rec.events.back().bytes, content.size());
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(FtpFaultTest, StallShorterThanTheTimeoutCompletes) {
    startServer("stall_short", 0.3);
    client.TransferTimeout = 60; // 3.3 s
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(FtpFaultTest, StallLongerThanTheTimeoutRaisesTimeoutAndStaysConnected) {
    startServer("stall_long");
    client.TransferTimeout = 4;
    const QByteArray content = patternBytes(100000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTimeout"}));
    const FtpEvent timeout = rec.events.back();
    EXPECT_EQ(timeout.state, PS::psIdle);
    EXPECT_EQ(timeout.bytes, content.size() / 2); // the server stalls after half
    EXPECT_TRUE(client.Connected());
    // the idle client never times out: a later command still gets its answer
    ASSERT_TRUE(client.CurrentDir());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scCurrentDir) || rec.seenError(); }));
}

TEST_F(FtpFaultTest, AbortDuringATransferEndsIn426AndIdle) {
    startServer("stall_long");
    bool aborted = false;
    const QByteArray content = patternBytes(100000);
    rec.onEvent = [&](const FtpEvent& e) {
        // Once the half the server sends before it stalls is in.
        if (!aborted && SC(e.code) == SC::scProgress && e.bytes == content.size() / 2) {
            aborted = client.Abort();
        }
    };
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_TRUE(aborted);
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "error 426"}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_TRUE(server.commands().contains("ABOR"));
}

TEST_F(FtpFaultTest, PasvNamingAnotherAddressConnectsToTheControlPeer) {
    startServer("pasv_other");
    const QByteArray content = patternBytes(40000);
    startRetrieve(content);
    ASSERT_TRUE(waitEnd());
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scTransferOK"}));
    EXPECT_EQ(readFile(server.localFile("file")), content);
}

TEST_F(FtpFaultTest, LocalWriteErrorStopsTheTransferWithCodeMinus2) {
    if (!QFileInfo::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    startServer("");
    server.putFile("file", patternBytes(200000));
    ASSERT_TRUE(loginAndWait(client, rec));
    // append mode leaves the device in place; every write to it fails
    ASSERT_TRUE(client.Retrieve("/file", "/dev/full", TFtpRetrieveMode::rmAppend));
    ASSERT_TRUE(waitEnd());
    const std::string localFileError = EventRecorder::errorName(kFtpErrorLocalFile);
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", localFileError}));
    EXPECT_EQ(rec.events.back().state, PS::psIdle);
    EXPECT_EQ(rec.events.back().text, QByteArray::fromStdString(std::strerror(ENOSPC)));
    // The server's answers to ABOR raise nothing more, and the session goes on.
    server.putFile("next", "next file");
    ASSERT_TRUE(waitFor([&] { return server.commands().contains("ABOR"); }));
    ASSERT_TRUE(client.CurrentDir());
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scCurrentDir) || rec.events.size() > 4; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", localFileError, "scCurrentDir"}));
}

TEST_F(FtpFaultTest, LogoutGivesUpOnAServerThatNeverCloses) {
    startServer("ignore_quit");
    client.LogoutLimitMs = 300;
    ASSERT_TRUE(loginAndWait(client, rec));
    EXPECT_TRUE(client.Logout());
    EXPECT_EQ(client.ProcessState(), PS::psClosed);
    ASSERT_TRUE(waitFor([&] { return rec.events.size() >= 4; }));
    EXPECT_EQ(rec.sequence(), (Seq{"scOpen", "scLogin", "scLogout", "scClose"}));
}

TEST_F(FtpFaultTest, RefusedConnectionRaisesOneClose) {
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

TEST_F(FtpFaultTest, ConnectTimeoutRaisesMinus1AtOnceAheadOfTheClose) {
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
