// The parsers of server text, the command stack and the late replies, without sockets.
#include "ftp/FtpCommandStack.h"
#include "ftp/FtpLateReplies.h"
#include "ftp/FtpReplyReader.h"
#include "ftp/FtpReplyText.h"
#include "ftp/FtpSocketErrors.h"
#include "ftp/FtpTypes.h"

#include <gtest/gtest.h>

using namespace kr90x;

namespace {

std::vector<FtpReply> readAll(FtpReplyReader& reader) {
    std::vector<FtpReply> out;
    while (auto r = reader.take()) {
        out.push_back(*r);
    }
    return out;
}

TEST(FtpReplyReader, CutsLinesAcrossArbitraryChunksAndReadsCodes) {
    FtpReplyReader reader;
    const QByteArray stream = "220 Hi\r\n331 Need pass\r\nbad line\r\n5x0 odd\r\n";
    for (char c : stream) {
        reader.feed(QByteArrayView(&c, 1));
    }
    const auto replies = readAll(reader);
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_EQ(replies[0].code, 220);
    EXPECT_EQ(replies[0].text, "220 Hi\r\n");
    EXPECT_EQ(replies[1].code, 331);
    EXPECT_EQ(replies[2].code, 0);
    EXPECT_EQ(replies[3].code, 5);
}

TEST(FtpReplyReader, MultiLineReplyEndsOnlyAtItsOwnTerm) {
    FtpReplyReader reader;
    reader.feed("230-Welcome\r\n");
    EXPECT_TRUE(reader.inMultiLine());
    EXPECT_EQ(reader.multiLineTerm(), "230 ");
    reader.feed("220 not mine\r\n230-still\r\n   indented\r\n");
    EXPECT_FALSE(reader.take());
    reader.feed("230 done\r\n200 next\r\n");
    const auto replies = readAll(reader);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].code, 230);
    EXPECT_EQ(replies[0].text,
              "230-Welcome\r\n220 not mine\r\n230-still\r\n   indented\r\n"); // final line left out
    EXPECT_EQ(replies[1].text, "200 next\r\n");
}

TEST(FtpReplyReader, OverlongRepliesKeepTheirStartAndTheNextReplyIsIntact) {
    FtpReplyReader reader;
    // a 40 KiB multi-line reply
    reader.feed("211-start\r\n");
    const QByteArray line = "211-" + QByteArray(60, 'y') + "\r\n";
    for (int i = 0; i < 700; ++i) {
        reader.feed(line);
    }
    reader.feed("211 end\r\n");
    // one line longer than the whole buffer, without a break inside
    reader.feed("500 " + QByteArray(100000, 'z'));
    reader.feed("\r\n226 ok\r\n");
    const auto replies = readAll(reader);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].text.size(), FtpReplyReader::ReplyBufferText);
    EXPECT_TRUE(replies[0].text.startsWith("211-start\r\n211-yyy"));
    EXPECT_EQ(replies[1].code, 500);
    EXPECT_EQ(replies[1].text.size(), FtpReplyReader::ReplyBufferText);
    EXPECT_EQ(replies[2].text, "226 ok\r\n");
}

TEST(FtpReplyReader, BareLineFeedEndsALineAndResetForgetsAHalfReply) {
    FtpReplyReader reader;
    reader.feed("200 a\n150-b\r\n");
    reader.reset();
    reader.feed("220 c\r\n");
    const auto replies = readAll(reader);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].text, "220 c\r\n");
}

TEST(PasvReply, ReadsTheFirstSixNumbersAfterTheCode) {
    const auto r = parsePasvReply("227 Entering Passive Mode (10,0,0,5,19,137).\r\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->host, (std::array<int, 4>{10, 0, 0, 5}));
    EXPECT_EQ(r->port, 5001);
    EXPECT_EQ(parsePasvReply("227 =127,0,0,1,4,1")->port, 1025); // no parentheses
    EXPECT_EQ(parsePasvReply("227 ( 1, 2, 3, 4, 0, 21 )")->port, 21);
    EXPECT_EQ(parsePasvReply("227 (1,2,3,4,1,2,3,4)")->port, 258); // extra fields ignored
    // the code's own digits are not the first number
    EXPECT_EQ(parsePasvReply("227 1,2,3,4,5,6")->host, (std::array<int, 4>{1, 2, 3, 4}));
    // a first run that is not an address is passed over
    EXPECT_EQ(parsePasvReply("227 v2.1 (9,8,7,6,0,99)")->port, 99);
}

TEST(PasvReply, NoSixNumbersEachUpTo255IsNoAddress) {
    EXPECT_FALSE(parsePasvReply("227 Entering Passive Mode"));
    EXPECT_FALSE(parsePasvReply("227 (1,2,3,4)"));                        // port missing
    EXPECT_FALSE(parsePasvReply("227 (1,2,3,4,x,y)"));                    // not numeric
    EXPECT_FALSE(parsePasvReply("227 (127,0,0,1,1216,256)"));             // above 255
    EXPECT_FALSE(parsePasvReply("227 (256,0,0,1,4,1)"));                  // host above 255
    EXPECT_FALSE(parsePasvReply("227 (1,2,3,4,99999999999999999999,1)")); // no overflow
    EXPECT_FALSE(parsePasvReply("227 (1,2,3,4,0001,1)"));                 // four digits
    EXPECT_FALSE(parsePasvReply(""));
}

TEST(FtpReplyReader, MultiLineReplyKeepsItsFinalLineApartAndSaysWhetherItIsFtp) {
    FtpReplyReader reader;
    reader.feed("227-Entering passive mode\r\n227 =127,0,0,1,4,1\r\nHTTP/1.1 400 Bad\r\n");
    const auto replies = readAll(reader);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].text, "227-Entering passive mode\r\n");
    EXPECT_EQ(replies[0].finalLine, "227 =127,0,0,1,4,1\r\n");
    EXPECT_TRUE(replies[0].wellFormed);
    EXPECT_EQ(replies[1].finalLine, replies[1].text);
    EXPECT_FALSE(replies[1].wellFormed);
    EXPECT_TRUE(isWellFormedReplyLine("220\r\n"));
    EXPECT_FALSE(isWellFormedReplyLine("2200 x\r\n"));
    EXPECT_FALSE(isWellFormedReplyLine("22"));
}

TEST(ServicePort, NumbersServiceNamesAndFtpWithoutAServiceDatabase) {
    const ServiceLookup none = [](const QByteArray&) { return std::optional<quint16>(); };
    EXPECT_EQ(tcpPortOf(u"2121", none), 2121);
    EXPECT_EQ(tcpPortOf(u" ftp ", none), 21);
    EXPECT_EQ(tcpPortOf(u"FTP", none), 21);
    EXPECT_FALSE(tcpPortOf(u"gopher", none));
    EXPECT_FALSE(tcpPortOf(u"0", none));
    EXPECT_FALSE(tcpPortOf(u"65536", none));
    EXPECT_FALSE(tcpPortOf(u"", none));
    const ServiceLookup moved = [](const QByteArray& name) {
        return name == "ftp" ? std::optional<quint16>(2100) : std::nullopt;
    };
    EXPECT_EQ(tcpPortOf(u"ftp", moved), 2100); // the database wins where there is one
}

TEST(ReplyText, OneLogLineHasNoLineBreaksAndABound) {
    EXPECT_EQ(oneLogLine("421-Going down\r\n421 Bye\r\n"), "421-Going down 421 Bye");
    EXPECT_EQ(oneLogLine(QByteArray("a\0b\x1b[2Jc", 8)), "a b [2Jc");
    EXPECT_EQ(oneLogLine(QByteArray(5000, 'x')).size(), 512);
}

TEST(ReplyText, AnnouncedSizeAndQuotedDirectory) {
    EXPECT_EQ(parseAnnouncedSize("150 Opening BINARY mode data connection for f (1234 bytes).\r\n"),
              1234);
    EXPECT_EQ(parseAnnouncedSize("150 (x) then (0 bytes)"), 0);
    EXPECT_FALSE(parseAnnouncedSize("150 File status okay."));
    EXPECT_FALSE(parseAnnouncedSize("150 (12 apples)"));
    EXPECT_FALSE(parseAnnouncedSize("150 (1234567890123456789012 bytes)"));
    EXPECT_EQ(quotedDirectory("257 \"/KR90X\" is the current directory.\r\n"), "/KR90X");
    EXPECT_EQ(quotedDirectory("257 \"unterminated"), "");
    EXPECT_EQ(quotedDirectory("257 no quotes"), "");
}

TEST(FtpCommandStack, ServesLastInFirstOutAndRefusesThe33rdLine) {
    FtpCommandStack stack;
    stack.push("RETR f");
    stack.push("PASV");
    stack.push("TYPE I");
    EXPECT_EQ(stack.pop(), "TYPE I");
    EXPECT_EQ(stack.pop(), "PASV");
    EXPECT_EQ(stack.pop(), "RETR f");
    EXPECT_FALSE(stack.pop());

    for (int i = 0; i < 32; ++i) {
        stack.push("NOOP");
    }
    try {
        stack.push("NOOP");
        FAIL() << "no error on a full stack";
    } catch (const FtpException& e) {
        EXPECT_STREQ(e.what(), "FTP Command stack full");
    }
    EXPECT_TRUE(stack.empty());
}

// What is still due when the client has gone on, and the replies that then come: all of
// them are dropped, and the answer to the client's next command is not.
struct LateCase {
    const char* what;
    bool commandUnanswered;
    bool transferEndMayCome;
    bool abortSent;
    std::vector<int> late;
};

TEST(FtpLateReplies, DropsWhatIsDueAndNotTheNextAnswer) {
    for (const LateCase& c : {
             LateCase{"ABOR while the server sends", false, true, true, {150, 426, 226}},
             LateCase{"ABOR after the server sent it all", false, true, true, {226, 225}},
             LateCase{"ABOR, the transfer's end never comes", false, true, true, {225}},
             LateCase{"ABOR after the transfer's 226 came", false, false, true, {225}},
             LateCase{"ABOR, the server still thinks it sends", false, false, true, {426, 226}},
             LateCase{"ABOR before RETR, PASV unanswered", true, false, true, {227, 225}},
             LateCase{"a command given up on", true, false, false, {257}},
             LateCase{"the data connection failed", false, true, false, {426}},
             LateCase{"the data connection failed, no end comes", false, true, false, {}},
         }) {
        SCOPED_TRACE(c.what);
        FtpLateReplies late;
        if (c.commandUnanswered) {
            late.commandUnanswered();
        }
        if (c.transferEndMayCome) {
            late.transferEndMayCome();
        }
        if (c.abortSent) {
            late.abortSent();
        }
        for (int code : c.late) {
            EXPECT_TRUE(late.drop(code)) << code;
        }
        EXPECT_FALSE(late.drop(200)); // TYPE I, for the next transfer
        EXPECT_FALSE(late.pending());
    }
}

TEST(FtpLateReplies, TheServerEndingTheSessionIsNeverDropped) {
    FtpLateReplies late;
    late.transferEndMayCome();
    late.abortSent();
    EXPECT_FALSE(late.drop(421));
    EXPECT_FALSE(late.pending());
}

} // namespace
