// The client against a server that misbehaves: every fault starts its own server. All
// of them in the fault matrix, and the details of some in tests of their own.
#include "FtpClientHarness.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <ostream>
#include <string>

using namespace kr90x;
using namespace kr90x::test;
using PS = TFtpProcessState;
using SC = TFtpStatusCode;

namespace {

class FtpFaultTest : public FtpServerTest {};

// ---- The fault matrix: every fault of the test server, each in one session that goes as
// far as the fault lets it. Whatever the fault, each operation has one outcome and nothing
// of it comes later, and the session ends with one close, after one logout when the user
// was logged in.

enum class Session {
    Whole,     // login, a transfer, a later command, logout
    LoginOnly, // login, then the server ends the idle session
};

struct FaultCase {
    const char* fault;
    std::string outcome; // of the transfer, or of the login when none follows; "": varies
    int timeoutTicks = 1092;
    Session session = Session::Whole;
    bool release = false; // the fault holds the server until then
    FtpTls tls = FtpTls::Off;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << (*c.fault ? c.fault : "none");
}

class FaultMatrixTest : public FtpServerTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    static bool isOutcome(const FtpEvent& e) {
        const SC code = SC(e.code);
        return e.isError || code == SC::scLogin || code == SC::scTransferOK ||
               code == SC::scCurrentDir || code == SC::scTimeout;
    }
    static bool isClose(const FtpEvent& e) { return !e.isError && SC(e.code) == SC::scClose; }

    // An operation's events are those from its start to the next one's.
    struct Operation {
        const char* name;
        size_t from;
        size_t to = 0;
    };
    void begin(const char* name) { operations.push_back({name, rec.events.size()}); }
    // The last operation has had its outcome, or the session has ended.
    bool waitOutcome() {
        const size_t from = operations.back().from;
        return waitFor([&] {
            return std::any_of(rec.events.begin() + qsizetype(from), rec.events.end(),
                               [](const FtpEvent& e) { return isOutcome(e) || isClose(e); });
        });
    }
    std::vector<FtpEvent> outcomes(const Operation& op) const {
        std::vector<FtpEvent> out;
        std::copy_if(rec.events.begin() + qsizetype(op.from), rec.events.begin() + qsizetype(op.to),
                     std::back_inserter(out), isOutcome);
        return out;
    }

    std::vector<Operation> operations;
};

TEST_P(FaultMatrixTest, EachOperationEndsOnceAndTheSessionClosesOnce) {
    const FaultCase& c = GetParam();
    startServer(c.fault);
    server.putFile("file", patternBytes(100000));
    client.TransferTimeout = c.timeoutTicks;
    client.MaxTransferBytes = 1 << 20; // the file without end
    client.LogoutLimitMs = 500;        // the server that never closes
    client.Tls = c.tls;
    const bool whole = c.session == Session::Whole;

    begin("login");
    client.Login();
    ASSERT_TRUE(waitOutcome());
    if (whole && client.UserLoggedIn()) {
        begin("transfer");
        ASSERT_TRUE(
            client.Retrieve("/file", server.localFile("file"), TFtpRetrieveMode::rmReplace));
        ASSERT_TRUE(waitOutcome());
    }
    if (c.release) {
        server.release();
    }
    // A round trip on the same connection: any late reply to the transfer comes first.
    if (whole && client.UserLoggedIn()) {
        begin("command");
        ASSERT_TRUE(client.CurrentDir());
        ASSERT_TRUE(waitOutcome());
    }
    if (whole && client.Connected()) {
        begin("logout");
        client.Logout();
    }
    ASSERT_TRUE(waitFor([&] { return rec.seen(SC::scClose); }));
    ASSERT_TRUE(deliverQueued(client));

    SCOPED_TRACE(::testing::PrintToString(rec.sequence()));
    for (size_t i = 0; i < operations.size(); ++i) {
        Operation& op = operations[i];
        op.to = i + 1 < operations.size() ? operations[i + 1].from : rec.events.size();
        const bool endsTheSession = std::any_of(rec.events.begin() + qsizetype(op.from),
                                                rec.events.begin() + qsizetype(op.to), isClose);
        // A login may end with the session's close alone; a logout has no outcome.
        const std::string name = op.name;
        const size_t least = name == "logout" || (name == "login" && endsTheSession) ? 0 : 1;
        const size_t most = name == "logout" ? 0 : 1;
        EXPECT_GE(outcomes(op).size(), least) << name;
        EXPECT_LE(outcomes(op).size(), most) << name;
    }
    const bool fetched = operations.size() > 1 && operations[1].name == std::string("transfer");
    const std::vector<FtpEvent> mainOutcome = outcomes(operations[fetched ? 1 : 0]);
    if (!c.outcome.empty()) {
        ASSERT_EQ(mainOutcome.size(), 1u);
        const FtpEvent& e = mainOutcome.front();
        EXPECT_EQ(e.isError ? EventRecorder::errorName(e.code) : statusCodeName(SC(e.code)),
                  c.outcome);
    }
    const Seq sequence = rec.sequence();
    EXPECT_EQ(rec.of(SC::scClose).size(), 1u);
    EXPECT_EQ(sequence.back(), "scClose");
    const size_t logouts = rec.seen(SC::scLogin) ? 1 : 0;
    EXPECT_EQ(rec.of(SC::scLogout).size(), logouts);
    if (logouts == 1) {
        EXPECT_EQ(sequence[sequence.size() - 2], "scLogout");
    }
}

const std::string kNotFtp = EventRecorder::errorName(kFtpErrorNotFtp);
const std::string kIncomplete = EventRecorder::errorName(kFtpErrorIncompleteTransfer);
const std::string kTooLarge = EventRecorder::errorName(kFtpErrorTooLarge);
const std::string kReset = EventRecorder::errorName(10054);     // WSAECONNRESET
const std::string kNoAddress = EventRecorder::errorName(10049); // WSAEADDRNOTAVAIL

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrixTest,
    ::testing::Values(
        FaultCase{.fault = "", .outcome = "scTransferOK"},
        FaultCase{.fault = "multiline_greeting", .outcome = "scTransferOK"},
        FaultCase{.fault = "huge_greeting", .outcome = "scTransferOK"},
        FaultCase{.fault = "slow_greeting", .outcome = "scTransferOK"},
        FaultCase{.fault = "silent", .outcome = "scTimeout", .timeoutTicks = 4},
        FaultCase{.fault = "http", .outcome = kNotFtp},
        FaultCase{.fault = "auth_silent",
                  .outcome = "scTimeout",
                  .timeoutTicks = 10,
                  .tls = FtpTls::Required},
        FaultCase{.fault = "flood500", .outcome = "error 500"},
        FaultCase{.fault = "login421", .outcome = "error 421"},
        FaultCase{.fault = "acct332", .outcome = "error 332"},
        FaultCase{.fault = "idle421", .outcome = "scLogin", .session = Session::LoginOnly},
        FaultCase{.fault = "drop_idle", .outcome = "scLogin", .session = Session::LoginOnly},
        FaultCase{.fault = "ignore_quit", .outcome = "scTransferOK"},
        FaultCase{.fault = "quit_close", .outcome = "scTransferOK"},
        FaultCase{.fault = "retr425", .outcome = "error 425"},
        FaultCase{.fault = "cut226", .outcome = kIncomplete},
        FaultCase{.fault = "cut426", .outcome = "error 426"},
        FaultCase{.fault = "cutdrop", .outcome = kReset},
        FaultCase{.fault = "no226", .outcome = "scTimeout", .timeoutTicks = 6},
        FaultCase{.fault = "early226", .outcome = "scTransferOK"},
        FaultCase{.fault = "stall_short", .outcome = "scTransferOK", .timeoutTicks = 60},
        FaultCase{.fault = "stall_long", .outcome = "scTimeout", .timeoutTicks = 4},
        FaultCase{.fault = "hold", .outcome = "scTimeout", .timeoutTicks = 4},
        FaultCase{.fault = "late_pasv", .outcome = "scTimeout", .timeoutTicks = 4, .release = true},
        FaultCase{.fault = "reset", .outcome = kReset},
        FaultCase{.fault = "reset426", .outcome = ""}, // the reset or the 426, whichever is first
        FaultCase{.fault = "retr421", .outcome = "error 421"},
        FaultCase{.fault = "endless", .outcome = kTooLarge},
        FaultCase{.fault = "oversize", .outcome = kTooLarge},
        FaultCase{.fault = "pasv_multiline", .outcome = "scTransferOK"},
        FaultCase{.fault = "pasv_bad", .outcome = kNoAddress},
        FaultCase{.fault = "pasv_other", .outcome = "scTransferOK"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        return std::string(*info.param.fault ? info.param.fault : "none");
    });

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

} // namespace
