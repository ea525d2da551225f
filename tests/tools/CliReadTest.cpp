// kr90x read through the virtual tester: every test function, its values as the window
// shows them, parsed back by Python's json module, and kept in the records.
#include "CliRun.h"
#include "measure/CompressionReply.h"
#include "measure/CurveDownload.h"
#include "measure/TestFunctions.h"
#include "protocol/Commands.h"
#include "protocol/Reply.h"
#include "simulator/VirtualTester.h"

using namespace kr90x;
using namespace kr90x::test;

namespace {

// What the window shows for a function read from the virtual tester: its replies as the
// window's own reply handling takes them.
std::vector<double> shownByWindow(const TestFunction& f) {
    auto tester = VirtualTester::create();
    const QString first = tester->replyTo(QString::fromLatin1(code(f.command)));
    if (!f.isCurve()) {
        const CylinderValues bar = parseCompression(first, *f.fuel)->bar;
        return {bar.begin(), bar.end()};
    }
    std::vector<double> values;
    const int count = *readReplyField(first, 12, 5);
    for (int k = 1; k < count; ++k) {
        const QString sample = tester->replyTo(
            numberedCommand(curveCodes(f.channel).sample, static_cast<unsigned>(k)));
        values.push_back(shownValue(f, *readReplyField(sample, 18, 4)));
    }
    return values;
}

class CliReadTest : public CliTest {};

TEST_F(CliReadTest, EveryFunctionByNameGivesTheWindowsValuesAsJsonNumbers) {
    for (const TestFunction& f : testFunctions()) {
        SCOPED_TRACE(f.name);
        const CliRun run = kr90x({QStringLiteral("read"), QString::fromLatin1(f.name), kTester,
                                  QStringLiteral("--format"), QStringLiteral("json")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList lines = python(
            run.out,
            QStringLiteral(
                "v = d['values'] if 'values' in d else d['samples']\n"
                "assert all(type(x) in (int, float) for x in v)\n"
                "print(d['schema'], d['function']['number'], d['function']['name'], d['unit'],\n"
                "      d['scale']['divisor'], d['scale']['decimals'], d['firmware'], d['kept'],\n"
                "      type(d['record']).__name__, d['measured_at'][-1], d['virtual_tester'])\n"
                "for x in v: print(repr(float(x)))\n"));
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.front(), QStringLiteral("1 %1 %2 %3 %4 %5 12 kept int Z True")
                                     .arg(f.index)
                                     .arg(QString::fromLatin1(f.name), QString::fromLatin1(f.unit))
                                     .arg(f.divisor)
                                     .arg(f.decimals));
        const std::vector<double> expected = shownByWindow(f);
        ASSERT_EQ(static_cast<std::size_t>(lines.size() - 1), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(lines[static_cast<qsizetype>(i) + 1].toDouble(), expected[i])
                << "value " << i;
        }
    }
}

TEST_F(CliReadTest, NumbersAndNamesAreTheSameFunction) {
    const CliRun byNumber = kr90x({QStringLiteral("read"), QStringLiteral("7"), kTester,
                                   QStringLiteral("--no-record"), QStringLiteral("--format=json")});
    const CliRun byName = kr90x({QStringLiteral("read"), QStringLiteral("LOW"), kTester,
                                 QStringLiteral("--no-record"), QStringLiteral("--format=json")});
    ASSERT_EQ(byNumber.exitCode, 0);
    ASSERT_EQ(byName.exitCode, 0);
    const QString program =
        QStringLiteral("print(d['function']['name'], d['kept'], d['record'], len(d['samples']))");
    EXPECT_EQ(python(byNumber.out, program), python(byName.out, program));
    EXPECT_EQ(python(byName.out, program), QStringList{QStringLiteral("low not-kept None 999")});
}

TEST_F(CliReadTest, TextIsTheWindowsAndTheResultIsKeptWithItsVehicle) {
    const CliRun run = kr90x({QStringLiteral("read"), QStringLiteral("diesel"), kTester,
                              QStringLiteral("--vehicle"), QStringLiteral("plate=ŁÓD 4711"),
                              QStringLiteral("--vehicle=odometer=98.000 km")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    // The window's cylinder format with its decimal comma.
    EXPECT_TRUE(text.contains(QStringLiteral("Cylinder # 2: 29,0 Bar"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Plate: ŁÓD 4711")));
    EXPECT_TRUE(text.contains(QStringLiteral("Record: 1")));

    const CliRun shown =
        kr90x({QStringLiteral("records"), QStringLiteral("show"), QStringLiteral("1"),
               QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(python(shown.out, QStringLiteral("print(d['record'], d['vehicle']['plate'], "
                                               "d['vehicle']['odometer'], float(d['values'][1]))")),
              QStringList{QStringLiteral("1 ŁÓD 4711 98.000 km 29.0")});
}

TEST_F(CliReadTest, CsvIsTheRecordsExportOfTheOneResult) {
    const CliRun read = kr90x({QStringLiteral("read"), QStringLiteral("petrol"), kTester,
                               QStringLiteral("--format"), QStringLiteral("csv")});
    ASSERT_EQ(read.exitCode, 0);
    const QString file = home.filePath(QStringLiteral("export.csv"));
    ASSERT_EQ(kr90x({QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("1"),
                     QStringLiteral("--csv"), file})
                  .exitCode,
              0);
    QFile exported(file);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(read.out, exported.readAll());
    // The byte-order mark, the header and one row per cylinder.
    EXPECT_TRUE(read.out.startsWith("\xEF\xBB\xBF"
                                    "Date;Test function;"));
    EXPECT_EQ(read.out.count('\n'), 1 + 6);
}

TEST_F(CliReadTest, EepromDumpIsTheWindowsLogLines) {
    const QString file = home.filePath(QStringLiteral("eeprom.txt"));
    const CliRun run = kr90x({QStringLiteral("eeprom"), kTester, QStringLiteral("-o"), file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile dump(file);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(dump.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2201); // addresses 0 to 2200
    // The virtual tester's byte at an address, right-aligned in five as the window logs it.
    auto tester = VirtualTester::create();
    EXPECT_EQ(lines[1000], QStringLiteral("1000 = %1").arg(tester->eepromValue(1000), 5));
    EXPECT_EQ(lines.front(), QStringLiteral("0 = %1").arg(tester->eepromValue(0), 5));
}

TEST_F(CliReadTest, DevicesListsTheTesterWithItsFirmware) {
    const CliRun run =
        kr90x({QStringLiteral("devices"), QStringLiteral("--virtual-tester=firmware=13"),
               QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(python(run.out, QStringLiteral("t = d['testers']\nprint(d['schema'], len(t), "
                                             "t[0]['node'], t[0]['serial'], t[0]['firmware'])")),
              QStringList{QStringLiteral("1 1 virtual:1 None 13")});
    // A tester that does not say is listed without a version (the window would take 11).
    const CliRun silent =
        kr90x({QStringLiteral("devices"), QStringLiteral("--virtual-tester=silent"),
               QStringLiteral("--timeout=50"), QStringLiteral("--format=json")});
    ASSERT_EQ(silent.exitCode, 0) << silent.err.toStdString();
    EXPECT_EQ(python(silent.out, QStringLiteral("print(d['testers'][0]['firmware'])")),
              QStringList{QStringLiteral("None")});
}

} // namespace

namespace {

// A workshop server or a cron job has no display: a platform that would need one (xcb
// without DISPLAY) is never opened, by the reads nor by the report.
TEST_F(CliReadTest, NeedsNoDisplay) {
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const CliRun read = kr90x({QStringLiteral("read"), QStringLiteral("rail"), kTester}, env);
    EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
    const CliRun report = kr90x({QStringLiteral("report"), QStringLiteral("--record=1"),
                                 QStringLiteral("--pdf"), home.filePath(QStringLiteral("r.pdf"))},
                                env);
    EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.err.isEmpty()) << report.err.toStdString();
}

} // namespace
