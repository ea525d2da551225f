// The steps from the greeting to USER with each TLS setting, by the server's replies.
#include "ftp/FtpTlsNegotiation.h"

#include <gtest/gtest.h>

using namespace kr90x;
using Next = FtpTlsNegotiation::Next;

TEST(FtpTlsNegotiationTest, OffSendsUserAtOnce) {
    FtpTlsNegotiation n(FtpTls::Off);
    EXPECT_EQ(n.greeted(), Next::SendUser);
    EXPECT_FALSE(n.negotiating());
    EXPECT_FALSE(n.controlProtected());
}

TEST(FtpTlsNegotiationTest, AuthHandshakePbszProtThenUserWithBothChannelsProtected) {
    for (FtpTls mode : {FtpTls::Try, FtpTls::Required}) {
        FtpTlsNegotiation n(mode);
        EXPECT_EQ(n.greeted(), Next::SendAuth);
        EXPECT_EQ(n.reply(234), Next::StartHandshake);
        EXPECT_TRUE(n.negotiating()); // USER must wait
        EXPECT_EQ(n.encrypted(), Next::SendPbsz);
        EXPECT_EQ(n.reply(200), Next::SendProt);
        EXPECT_EQ(n.reply(200), Next::SendUser);
        EXPECT_FALSE(n.negotiating());
        EXPECT_TRUE(n.controlProtected());
        EXPECT_TRUE(n.dataProtected());
        EXPECT_EQ(n.reply(331), Next::Nothing); // the login's replies are not its business
    }
}

TEST(FtpTlsNegotiationTest, ARefusalFallsBackWithTryAndEndsTheLoginWithRequired) {
    struct Case {
        std::vector<int> replies; // after the greeting; 234 is followed by the handshake
        FtpTls mode;
        Next last;
        bool dataProtected;
    };
    const Case cases[] = {
        {{502}, FtpTls::Try, Next::SendUser, false},
        {{530}, FtpTls::Try, Next::SendUser, false},
        {{502}, FtpTls::Required, Next::Fail, false},
        {{234, 500}, FtpTls::Try, Next::SendUser, false},      // PBSZ refused
        {{234, 200, 536}, FtpTls::Try, Next::SendUser, false}, // PROT P refused
        {{234, 200, 536}, FtpTls::Required, Next::Fail, false},
        {{234, 500}, FtpTls::Required, Next::Fail, false},
        // Neither a positive nor a negative answer is an agreement.
        {{334}, FtpTls::Try, Next::Fail, false},
    };
    for (const Case& c : cases) {
        FtpTlsNegotiation n(c.mode);
        n.greeted();
        Next next = Next::Nothing;
        for (int code : c.replies) {
            next = n.reply(code);
            if (next == Next::StartHandshake) {
                next = n.encrypted();
            }
        }
        EXPECT_EQ(next, c.last) << c.replies.back();
        EXPECT_EQ(n.dataProtected(), c.dataProtected);
        EXPECT_FALSE(n.negotiating());
        EXPECT_EQ(n.failure().isEmpty(), c.last != Next::Fail);
    }
}

TEST(FtpTlsNegotiationTest, AReplyInTheMiddleOfTheHandshakeEndsIt) {
    FtpTlsNegotiation n(FtpTls::Try);
    n.greeted();
    ASSERT_EQ(n.reply(234), Next::StartHandshake);
    EXPECT_EQ(n.reply(230), Next::Fail);
    EXPECT_EQ(n.encrypted(), Next::Nothing);
}
