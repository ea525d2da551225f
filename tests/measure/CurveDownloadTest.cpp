// The curve download as a state machine, without a window: what it asks the tester for,
// what it hands out, and every order in which replies of one or two reads can come.
#include "measure/CurveDownload.h"

#include "core/AppState.h"
#include "core/Log.h"
#include "protocol/CommandSender.h"

#include <gtest/gtest.h>

using namespace kr90x;

namespace {

constexpr int kRail = 2;
constexpr int kTurbo = 3;
constexpr int kFsi = 4;
constexpr int kOil = 6;

class CurveDownloadTest : public ::testing::Test, protected CurveListener {
protected:
    AppState state; // only for what the command sender keeps: the last command
    Log log;
    CommandSender sender{state};
    CurveDownload download{log, sender, *this};

    int started = 0;
    int empties = 0;
    std::vector<int> progress;
    std::vector<Curve> curves;

    void curveStarted() override { ++started; }
    void curveProgress(int percent) override { progress.push_back(percent); }
    void curveCompleted(const Curve& curve) override { curves.push_back(curve); }
    void curveEmpty() override { ++empties; }

    static QString count(const char* code, const char* field) {
        return QLatin1String(code) + QLatin1Char('|') + QLatin1String(field) + QLatin1Char('|');
    }
    static QString sample(const char* code, int k, int v) {
        return QStringLiteral("%1|%2|%3|").arg(QLatin1String(code)).arg(k, 5).arg(v, 4);
    }
    CurveDownload::Outcome railCount(const char* field, int function = kRail) {
        return download.countReply(CurveChannel::HighPressure, count("KR90X_GAMX", field),
                                   function);
    }
    CurveDownload::Outcome railSample(int k, int v) {
        return download.sampleReply(CurveChannel::HighPressure, sample("KR90X_GAVA", k, v));
    }
    // What the machine asked for in answer to one reply; empty when nothing.
    template <typename Reply> QString asked(Reply reply) {
        state.CurrentCommand.clear();
        reply();
        return state.CurrentCommand;
    }
    // Answers every request as the tester would, `value(k)` for sample k, until nothing
    // more is asked for.
    void answerAll(const std::function<int(int)>& value = [](int k) { return k; }) {
        while (download.running()) {
            const int k = download.nextSampleIndex();
            ASSERT_NE(railSample(k, value(k)), CurveDownload::Outcome::Refused) << k;
        }
    }
};

using Outcome = CurveDownload::Outcome;

} // namespace

TEST_F(CurveDownloadTest, ACountAsksForEverySampleButTheLastNumberAndHandsOutTheWholeCurve) {
    EXPECT_EQ(asked([&] { railCount("  101"); }), QStringLiteral("KR90X_GAVA|    1|"));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(download.lastSampleIndex(), 100u);
    for (int k = 1; k < 100; ++k) {
        EXPECT_EQ(asked([&] { railSample(k, 1000 + k); }),
                  QStringLiteral("KR90X_GAVA|%1|").arg(k + 1, 5));
    }
    EXPECT_TRUE(curves.empty()); // nothing is handed out before the curve is whole
    EXPECT_EQ(asked([&] { EXPECT_EQ(railSample(100, 1100), Outcome::Completed); }), QString());

    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].function, kRail);
    ASSERT_EQ(curves[0].raw.size(), 100u);
    EXPECT_EQ(curves[0].raw.front(), 1001);
    EXPECT_EQ(curves[0].values.back(), 1100.0);
    EXPECT_FALSE(download.running());
    // One percent a sample, each told once; the log has the last number after each request.
    ASSERT_EQ(progress.size(), 100u);
    EXPECT_EQ(progress.front(), 1);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(log.lines().count(QStringLiteral("100")), 99);
}

TEST_F(CurveDownloadTest, EachFunctionScalesItsSamplesAsTheTableSays) {
    struct Case {
        CurveChannel channel;
        const char* count;
        const char* sample;
        int function;
        int raw;
        double shown;
    };
    for (const Case& c :
         {Case{CurveChannel::HighPressure, "KR90X_GAMX", "KR90X_GAVA", kRail, 1350, 1350.0},
          Case{CurveChannel::HighPressure, "KR90X_GAMX", "KR90X_GAVA", kOil, 1350, 135.0},
          Case{CurveChannel::Turbo, "KR90X_GTMX", "KR90X_GTVA", kTurbo, 1200, 1200.0},
          Case{CurveChannel::Fsi, "KR90X_GFMX", "KR90X_GFVA", kFsi, 1200, 120.0},
          Case{CurveChannel::Tdi, "KR90X_GDMX", "KR90X_GDVA", 5, 55, 5.5}}) {
        curves.clear();
        ASSERT_EQ(download.countReply(c.channel, count(c.count, "    2"), c.function),
                  Outcome::Started);
        ASSERT_EQ(download.sampleReply(c.channel, sample(c.sample, 1, c.raw)), Outcome::Completed);
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_EQ(curves[0].raw, std::vector<std::int32_t>{c.raw});
        EXPECT_EQ(curves[0].values, std::vector<double>{c.shown}) << c.function;
    }
}

TEST_F(CurveDownloadTest, CountsWithNothingToAskForAndCountsThatAreNoCountsAskForNothing) {
    for (const char* field : {"    0", "    1"}) {
        EXPECT_EQ(asked([&] { EXPECT_EQ(railCount(field), Outcome::Empty); }), QString());
    }
    EXPECT_EQ(empties, 2);
    for (const char* field : {"   -5", "-0001", "     ", "12a45", "+    "}) {
        EXPECT_EQ(asked([&] { EXPECT_EQ(railCount(field), Outcome::Refused); }), QString())
            << field;
    }
    // A count for a function of another channel, or none, is no count of this read.
    EXPECT_EQ(railCount("    5", kTurbo), Outcome::Refused);
    EXPECT_EQ(railCount("    5", -1), Outcome::Refused);
    EXPECT_EQ(started, 0);

    // The five digits are the only bound: the longest curves are taken whole.
    for (const char* field : {"65535", "99999"}) {
        ASSERT_EQ(railCount(field), Outcome::Started);
        answerAll();
        EXPECT_EQ(curves.back().raw.size(), QByteArray(field).toUInt() - 1);
    }
}

// The overlap cases: each starts with a download of four samples that has kept two.
TEST_F(CurveDownloadTest, ALateCountRestartsTheCurveAndTheOldChainsAnswerFallsAway) {
    railCount("    5");
    railSample(1, 11);
    railSample(2, 12); // the old chain's request for sample 3 is out
    EXPECT_EQ(asked([&] { EXPECT_EQ(railCount("    4"), Outcome::Started); }),
              QStringLiteral("KR90X_GAVA|    1|"));
    EXPECT_EQ(log.last(), QStringLiteral("Curve download of 4 samples replaced by a new count "
                                         "after 2"));
    // The answer to the old request carries sample 3: not the one waited for.
    EXPECT_EQ(asked([&] { EXPECT_EQ(railSample(3, 13), Outcome::Refused); }), QString());
    answerAll([](int k) { return 20 + k; });
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].raw, (std::vector<std::int32_t>{21, 22, 23}));
}

TEST_F(CurveDownloadTest, TwoCountsBeforeAnySampleLeaveOneChainOfRequests) {
    railCount("    5");
    railCount("    5"); // both requests for sample 1 are out
    EXPECT_EQ(started, 2);
    EXPECT_EQ(railSample(1, 11), Outcome::Stored); // either answer is the sample asked for
    EXPECT_EQ(asked([&] { EXPECT_EQ(railSample(1, 11), Outcome::Refused); }), QString());
    answerAll();
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].raw.size(), 4u);
}

TEST_F(CurveDownloadTest, ACountOfNothingEndsTheDownloadThatRan) {
    railCount("    5");
    railSample(1, 11);
    EXPECT_EQ(railCount("    0"), Outcome::Empty);
    EXPECT_FALSE(download.running());
    EXPECT_EQ(railSample(2, 12), Outcome::Refused);
    EXPECT_TRUE(curves.empty());
}

TEST_F(CurveDownloadTest, RefusedRepliesDuringADownloadChangeNothing) {
    railCount("    5");
    railSample(1, 11);
    railSample(2, 12);
    const std::vector<QString> refused = {
        sample("KR90X_GAVA", 2, 99),              // a repeat
        sample("KR90X_GAVA", 4, 14),              // one ahead
        sample("KR90X_GAVA", 0, 1),               // no sample 0
        sample("KR90X_GAVA", -3, 1),              //
        sample("KR90X_GAVA", 99999, 1),           // beyond the count
        QStringLiteral("KR90X_GAVA|    3|12x4|"), // the right number, no value
        QStringLiteral("KR90X_GAVA|  3 |  14|"),  // no number
        QStringLiteral("KR90X_GAVA|    3"),       // cut before its value
    };
    for (const QString& reply : refused) {
        EXPECT_EQ(asked([&] {
                      EXPECT_EQ(download.sampleReply(CurveChannel::HighPressure, reply),
                                Outcome::Refused);
                  }),
                  QString())
            << reply.toStdString();
    }
    // Another channel's sample 3 is not this download's sample 3.
    EXPECT_EQ(download.sampleReply(CurveChannel::Turbo, sample("KR90X_GTVA", 3, 1)),
              Outcome::Refused);
    EXPECT_EQ(download.nextSampleIndex(), 3);
    EXPECT_EQ(download.received(), 2u);
    answerAll([](int k) { return 10 + k; });
    EXPECT_EQ(curves.at(0).raw, (std::vector<std::int32_t>{11, 12, 13, 14}));
}

TEST_F(CurveDownloadTest, SamplesAfterTheDownloadWasLeftAreRefused) {
    EXPECT_EQ(railSample(1, 1), Outcome::Refused); // nobody asked
    railCount("    5");
    railSample(1, 11);
    EXPECT_TRUE(download.abandon()); // unplugged, or a record opened
    EXPECT_FALSE(download.abandon());
    for (int k : {1, 2, 3}) {
        EXPECT_EQ(asked([&] { EXPECT_EQ(railSample(k, 1), Outcome::Refused); }), QString());
    }
    EXPECT_TRUE(curves.empty());
    EXPECT_EQ(download.lastSampleIndex(), 0u);
}

TEST_F(CurveDownloadTest, ARefusedCountLeavesTheDownloadThatRunsAlone) {
    railCount("    3");
    railSample(1, 11);
    EXPECT_EQ(railCount("   -1"), Outcome::Refused);
    EXPECT_EQ(download.countReply(CurveChannel::Turbo, count("KR90X_GTMX", "1x"), kTurbo),
              Outcome::Refused);
    EXPECT_EQ(railSample(2, 12), Outcome::Completed);
    EXPECT_EQ(curves.at(0).raw, (std::vector<std::int32_t>{11, 12}));
}

TEST(CurveFromValues, KeepsTheValuesShownAndTheTestersWholeNumbers) {
    const std::vector<double> oil = {135.0, 0.5, -2.5};
    const std::optional<Curve> c = curveFromValues(kOil, oil);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->values, oil);
    EXPECT_EQ(c->raw, (std::vector<std::int32_t>{1350, 5, -25}));
    EXPECT_FALSE(curveFromValues(0, oil)); // a compression has no curve
    EXPECT_FALSE(curveFromValues(42, oil));
    // Damage in a record stays finite.
    const std::vector<double> wild = {1e300, std::numeric_limits<double>::quiet_NaN()};
    EXPECT_EQ(curveFromValues(kRail, wild)->raw, (std::vector<std::int32_t>{0, 0}));
}
