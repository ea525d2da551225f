// How long a signed manifest counts: its sequence never goes back, across restarts too,
// and its expiry ends it.
#include "update/Manifest.h"
#include "update/UpdateSequence.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

const QDateTime kNow = QDateTime::fromString("2026-12-09T12:00:00Z", Qt::ISODate);

Manifest withFreshness(const QByteArray& sequence, const QByteArray& expires) {
    return parseManifest("[PC_Version]\nVersion=105\n[Freshness]\nSequence=" + sequence +
                         "\nExpires=" + expires + "\n");
}

} // namespace

TEST(FreshnessTest, SequenceAndExpiryAreReadInTheirOneFormOnly) {
    const Manifest good = withFreshness("42", "2027-01-08T12:00:00Z");
    EXPECT_EQ(good.Sequence, 42u);
    ASSERT_TRUE(good.Expires);
    EXPECT_EQ(expiryText(*good.Expires), "2027-01-08T12:00:00Z");
    EXPECT_EQ(good.Expires->toSecsSinceEpoch(),
              QDateTime::fromString("2027-01-08T12:00:00Z", Qt::ISODate).toSecsSinceEpoch());
    for (const QByteArray& sequence :
         {QByteArray("-1"), QByteArray("+4"), QByteArray("4 2"), QByteArray("0x10"),
          QByteArray("1234567890123456789"), QByteArray("")}) {
        EXPECT_FALSE(withFreshness(sequence, "2027-01-08T12:00:00Z").Sequence) << sequence.data();
    }
    for (const QByteArray& expires : {QByteArray("2027-01-08"), QByteArray("2027-01-08T12:00:00"),
                                      QByteArray("2027-01-08T12:00:00+01:00"),
                                      QByteArray("2027-02-30T12:00:00Z"), QByteArray("tomorrow")}) {
        EXPECT_FALSE(withFreshness("1", expires).Expires) << expires.data();
    }
}

TEST(FreshnessTest, OlderExpiredOrUndatedManifestsDoNotCount) {
    const QByteArray later = "2027-01-08T12:00:00Z";
    EXPECT_FALSE(freshnessProblem(withFreshness("7", later), kNow, 7)); // the same one again
    EXPECT_FALSE(freshnessProblem(withFreshness("8", later), kNow, 7));
    EXPECT_EQ(freshnessProblem(withFreshness("6", later), kNow, 7),
              "version.ini es antiguo (Sequence 6, ya aceptado 7)");
    EXPECT_EQ(freshnessProblem(withFreshness("8", "2026-12-09T12:00:00Z"), kNow, 7),
              "version.ini caducó el 2026-12-09T12:00:00Z");
    EXPECT_TRUE(freshnessProblem(withFreshness("", later), kNow, 0));
    EXPECT_TRUE(freshnessProblem(parseManifest("[PC_Version]\nVersion=105\n"), kNow, 0));
}

TEST(FreshnessTest, HighestSequenceSurvivesARestartAndIsPrivate) {
    QTemporaryDir dir;
    const QString path = dir.filePath("state/update.sequence");
    {
        UpdateSequence sequence(path);
        EXPECT_EQ(sequence.highest(), 0u);
        EXPECT_TRUE(sequence.raise(5));
        EXPECT_TRUE(sequence.raise(3)); // lower: kept as it was
        EXPECT_EQ(sequence.highest(), 5u);
    }
    EXPECT_EQ(UpdateSequence(path).highest(), 5u);
    EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0); // nobody else's
    EXPECT_EQ(QFileInfo(dir.filePath("state")).permissions() & 0x0077, 0);

    // A file that holds no number counts as nothing kept; the run still remembers its own.
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("garbage");
    damaged.close();
    UpdateSequence reread(path);
    EXPECT_EQ(reread.highest(), 0u);
    EXPECT_TRUE(reread.raise(2));
    EXPECT_EQ(UpdateSequence(path).highest(), 2u);

    UpdateSequence nowhere{QString()};
    EXPECT_TRUE(nowhere.raise(9));
    EXPECT_EQ(nowhere.highest(), 9u);
}
