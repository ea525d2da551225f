// The system's separators under several C library locales, compiled for the test into a
// folder of its own (LOCPATH), so that nothing needs to be installed system-wide.
#include "core/NumberFormat.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace kr90x;

namespace {

class SystemSeparatorsTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<QTemporaryDir> locales;
    static inline QString whyNot;

    static void SetUpTestSuite() {
        locales = std::make_unique<QTemporaryDir>();
        for (const char* name : {"C", "de_DE", "es_ES"}) {
            const QString out = locales->filePath(QString::fromLatin1(name) + ".UTF-8");
            QProcess p;
            p.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QString::fromLatin1(name), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), QStringLiteral("-c"), out});
            // localedef may warn and exit with 1 while it writes a usable locale.
            if (!p.waitForFinished(60000) || !QDir(out).exists()) {
                whyNot = QStringLiteral("localedef could not make %1 (package locales?): %2")
                             .arg(QString::fromLatin1(name),
                                  QString::fromLocal8Bit(p.readAllStandardError()));
                return;
            }
        }
    }
    static void TearDownTestSuite() { locales.reset(); }

    void SetUp() override {
        if (!whyNot.isEmpty()) {
            GTEST_SKIP() << whyNot.toStdString();
        }
        saved_ = {qgetenv("LC_ALL"), qgetenv("LOCPATH")};
    }
    void TearDown() override {
        for (const auto& [name, value] :
             {std::pair{"LC_ALL", saved_.first}, std::pair{"LOCPATH", saved_.second}}) {
            if (value.isNull()) {
                qunsetenv(name);
            } else {
                qputenv(name, value);
            }
        }
    }

    // The separators the program takes from the system under `locale`.
    static FormatSettings under(const QString& locale) {
        qputenv("LOCPATH", locales->path().toLocal8Bit());
        qputenv("LC_ALL", locale.toLocal8Bit());
        return FormatSettings::fromSystem();
    }

    // What the C library's own `locale` program says the thousands separator is.
    static QString glibcThousandsSeparator(const QString& locale) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LOCPATH"), locales->path());
        env.insert(QStringLiteral("LC_ALL"), locale);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("locale"), {QStringLiteral("thousands_sep")});
        EXPECT_TRUE(p.waitForFinished(10000));
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

private:
    std::pair<QByteArray, QByteArray> saved_;
};

// The chart's number format with the system's thousands separator, after the start has
// made the decimal separator a comma.
QString chartNumberUnder(FormatSettings s, double value) {
    s.DecimalSeparator = QLatin1Char(',');
    return formatFloat(kChartNumberPicture, value, s);
}

} // namespace

TEST_F(SystemSeparatorsTest, TheCLibraryLocaleDecidesTheThousandsSeparator) {
    // The C locale groups no thousands: an axis label reads 2000 beside bars of 11,8, not
    // 2,000, which a decimal-comma reader takes for two.
    for (const char* c : {"C.UTF-8", "C", "POSIX"}) {
        const FormatSettings s = under(QString::fromLatin1(c));
        EXPECT_TRUE(s.ThousandSeparator.isNull()) << c;
        EXPECT_EQ(chartNumberUnder(s, 2000), QStringLiteral("2000")) << c;
        EXPECT_EQ(chartNumberUnder(s, 11.8), QStringLiteral("11,8")) << c;
        EXPECT_EQ(formatText(kCylinderFormat, {1u, 1234.5}, s),
                  QStringLiteral("Cylinder # 1: 1234.5 Bar"))
            << c;
    }

    const FormatSettings de = under(QStringLiteral("de_DE.UTF-8"));
    EXPECT_EQ(de.ThousandSeparator, QLatin1Char('.'));
    EXPECT_EQ(de.DecimalSeparator, QLatin1Char(','));
    EXPECT_EQ(chartNumberUnder(de, 2000), QStringLiteral("2.000"));
    EXPECT_EQ(chartNumberUnder(de, 1234567.5), QStringLiteral("1.234.567,5"));

    const QString es = glibcThousandsSeparator(QStringLiteral("es_ES.UTF-8"));
    ASSERT_EQ(es.size(), 1);
    EXPECT_EQ(under(QStringLiteral("es_ES.UTF-8")).ThousandSeparator, es.at(0));
    EXPECT_EQ(chartNumberUnder(under(QStringLiteral("es_ES.UTF-8")), 2000),
              QStringLiteral("2") + es + QStringLiteral("000"));

    // A locale that is not installed leaves the C library in its C locale.
    EXPECT_TRUE(under(QStringLiteral("xx_YY.UTF-8")).ThousandSeparator.isNull());
}
