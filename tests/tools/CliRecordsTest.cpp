// kr90x's records commands and reports: the records window's list and search, the outbox
// when the records cannot take a result, and the window's report as a PDF checked by
// poppler's tools.
#include "CliRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>

using namespace kr90x::test;

namespace {

class CliRecordsTest : public CliTest {
protected:
    void read(const QString& function, const QString& plate) {
        const CliRun run = kr90x({QStringLiteral("read"), function, kTester,
                                  QStringLiteral("--vehicle"), QStringLiteral("plate=") + plate,
                                  QStringLiteral("-o"), QStringLiteral("/dev/null")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    // A poppler tool's output for a file.
    static QString poppler(const QString& tool, const QStringList& arguments) {
        QProcess p;
        p.start(tool, arguments);
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            ADD_FAILURE() << tool.toStdString() << ": " << p.readAllStandardError().toStdString();
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QString recordsPath() const {
        return home.filePath(QStringLiteral("data/orvo-kr90x/records.sqlite"));
    }
    // Records on a server at `port` of this machine, as records.conf names one.
    void recordsOnServerAt(quint16 port) const {
        const QString folder = home.filePath(QStringLiteral("config/orvo-kr90x"));
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile conf(folder + QStringLiteral("/records.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[Records]\nEngine=postgresql\nHost=127.0.0.1\nPort=%1\n"
                                  "Database=workshop\nUser=orvo\nPassword=pw\n")
                       .arg(port)
                       .toUtf8());
        conf.close();
        conf.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // Runs kr90x with its records on `silent`, which takes connections and never
    // answers, and sends it `signal` once it connects: the command is under way then,
    // waiting for the records.
    QProcess* signalledWhileConnecting(QProcess& p, QTcpServer& silent,
                                       const QStringList& arguments, int signal) const {
        recordsOnServerAt(silent.serverPort());
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(KR90X_CLI), arguments);
        if (!silent.waitForNewConnection(30000) ||
            ::kill(static_cast<pid_t>(p.processId()), signal) != 0 || !p.waitForFinished(60000)) {
            ADD_FAILURE() << "no connection, or no end after the signal";
            return nullptr;
        }
        return &p;
    }
    // The records there are, doubled `times` times over, each copy with a uid of its own.
    void doubleRecords(int times) const {
        const QString columns = QStringLiteral(
            "measured_at, test_function, function_name, unit, decimals, cylinder_1, cylinder_2, "
            "cylinder_3, cylinder_4, cylinder_5, cylinder_6, sample_count, peak, last_value, "
            "firmware_version, program_version, plate, virtual_tester, search_text");
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sqlite3, sys\n"
                                "c = sqlite3.connect(sys.argv[1])\n"
                                "for _ in range(%1):\n"
                                "    c.execute('INSERT INTO records (%2, uid) SELECT %2, "
                                "lower(hex(randomblob(16))) FROM records')\n"
                                "c.commit()\n")
                     .arg(times)
                     .arg(columns),
                 recordsPath()});
        ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0)
            << p.readAllStandardError().toStdString();
    }
};

TEST_F(CliRecordsTest, ListIsNewestFirstAndSearchedAsTheRecordsWindowSearches) {
    read(QStringLiteral("petrol"), QStringLiteral("AB-123"));
    read(QStringLiteral("oil"), QStringLiteral("XY-9"));
    read(QStringLiteral("diesel"), QStringLiteral("ab-777"));

    const CliRun all = kr90x({QStringLiteral("records"), QStringLiteral("list")});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    const QStringList lines =
        QString::fromUtf8(all.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Record\tDate\tTest function\tPlate")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("3\t")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(
        "\tDiesel Compression\tab-777\t\tVirtual\tLowest 28,1 bar, highest 29,2 bar")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("\tOil pressure\tXY-9\t\tVirtual\tPeak ")));

    // CSV: the same columns, ';' between them, a text a spreadsheet would take for a
    // formula with a "'" before it, as the records' CSV writes it.
    read(QStringLiteral("turbo"), QStringLiteral("=1+2;x"));
    const CliRun csv =
        kr90x({QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("--format=csv")});
    ASSERT_EQ(csv.exitCode, 0);
    const QStringList rows =
        QString::fromUtf8(csv.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], QStringLiteral("Record;Date;Test function;Plate;Customer;Tester;Summary"));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("4;"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].contains(QStringLiteral(";Turbo pressure;\"'=1+2;x\";;Virtual;Peak ")))
        << rows[1].toStdString();

    // Letter case does not matter, every word must be there.
    const CliRun found = kr90x({QStringLiteral("records"), QStringLiteral("list"),
                                QStringLiteral("--search"), QStringLiteral("AB compression"),
                                QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(found.exitCode, 0);
    EXPECT_EQ(python(found.out, QStringLiteral("print(d['schema'], [r['record'] for r in "
                                               "d['records']], d['records'][0]['lowest'])")),
              QStringList{QStringLiteral("1 [3, 1] 28.1")});
}

TEST_F(CliRecordsTest, ListCsvQuotesALoneCarriageReturnAsTheRecordsCsvDoes) {
    read(QStringLiteral("petrol"), QStringLiteral("AB-123"));
    // What the window's vehicle form may keep from a paste: a carriage return alone.
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sqlite3, sys\n"
                            "c = sqlite3.connect(sys.argv[1])\n"
                            "c.execute(\"UPDATE records SET customer = "
                            "'Garage' || char(13) || 'North'\")\n"
                            "c.commit()\n"),
             recordsPath()});
    ASSERT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0)
        << p.readAllStandardError().toStdString();
    const CliRun csv =
        kr90x({QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("--format=csv")});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    EXPECT_TRUE(csv.out.contains(";AB-123;\"Garage\rNorth\";Virtual;")) << csv.out.toStdString();
}

TEST_F(CliRecordsTest, ListInterruptedStopsAtItsNextPageWithStatus130) {
    read(QStringLiteral("petrol"), QStringLiteral("AB-123"));
    doubleRecords(15); // 32,768 rows: far more than a pipe holds, in several pages
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral(KR90X_CLI), {QStringLiteral("records"), QStringLiteral("list")});
    // The first rows out: the list is under way, and stays blocked on the full pipe until
    // it is read again.
    ASSERT_TRUE(p.waitForReadyRead(60000));
    ASSERT_EQ(::kill(static_cast<pid_t>(p.processId()), SIGINT), 0);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              QStringLiteral("kr90x: interrupted\n"));
    EXPECT_LT(p.readAllStandardOutput().count('\n'), 32768);
}

// A records server that takes the connection and never answers: the records are being
// opened, for as long as the connection's time-out, when the signal comes.
TEST_F(CliRecordsTest, ListOrExportEndedWhileTheRecordsAreOpenedLeaveNoFile) {
    const QString out = home.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    for (const auto& [arguments, signal, status] : std::vector<std::tuple<QStringList, int, int>>{
             {{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("--csv"),
               out + QStringLiteral("/all.csv")},
              SIGINT,
              130},
             {{QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("-o"),
               out + QStringLiteral("/list.txt")},
              SIGTERM,
              143},
             // A read whose result is being kept: not written either.
             {{QStringLiteral("read"), QStringLiteral("petrol"), kTester, QStringLiteral("-o"),
               out + QStringLiteral("/petrol.json")},
              SIGTERM,
              143}}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        // A server of each run's own: no connection of an earlier run is taken for its.
        QTcpServer silent;
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        QProcess p;
        ASSERT_TRUE(signalledWhileConnecting(p, silent, arguments, signal));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), status);
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
                  status == 130 ? QStringLiteral("kr90x: interrupted\n")
                                : QStringLiteral("kr90x: terminated\n"));
        EXPECT_EQ(QDir(out).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{});
    }
}

TEST_F(CliRecordsTest, AResultKeptBetweenTwoPagesRepeatsNoRecord) {
    read(QStringLiteral("petrol"), QStringLiteral("AB-123"));
    doubleRecords(13); // 8,192 rows: two pages
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral(KR90X_CLI), {QStringLiteral("records"), QStringLiteral("list")});
    // The first page is read and being written, blocked on the full pipe: a newer result
    // kept now moves the second page's rows one place on.
    ASSERT_TRUE(p.waitForReadyRead(60000));
    QProcess save;
    save.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sqlite3, sys\n"
                               "c = sqlite3.connect(sys.argv[1])\n"
                               "c.execute(\"INSERT INTO records (measured_at, test_function, "
                               "function_name, unit, decimals, firmware_version, program_version, "
                               "sample_count, peak, last_value, uid) SELECT measured_at + 60000, "
                               "test_function, function_name, unit, decimals, firmware_version, "
                               "program_version, sample_count, peak, last_value, 'newer' FROM "
                               "records LIMIT 1\")\n"
                               "c.commit()\n"),
                recordsPath()});
    ASSERT_TRUE(save.waitForFinished(60000) && save.exitCode() == 0)
        << save.readAllStandardError().toStdString();
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    lines.removeFirst(); // the heading
    QSet<QString> ids;
    for (const QString& line : lines) {
        ids.insert(line.section(QLatin1Char('\t'), 0, 0));
    }
    EXPECT_EQ(ids.size(), lines.size()) << "a record listed twice";
    EXPECT_EQ(lines.size(), 8192);
}

TEST_F(CliRecordsTest, AResultTheRecordsCannotTakeWaitsAndIsKeptByTheNextRun) {
    // A records file that is no database: the result waits in the outbox beside it.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(recordsPath()).path()));
    QFile damaged(recordsPath());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    const CliRun waiting = kr90x({QStringLiteral("read"), QStringLiteral("petrol"), kTester,
                                  QStringLiteral("--format=json")});
    EXPECT_EQ(waiting.exitCode, 0);
    EXPECT_TRUE(waiting.errorLine().contains(QStringLiteral("waits beside the workshop records")))
        << waiting.errorLine().toStdString();
    EXPECT_EQ(python(waiting.out, QStringLiteral("print(d['kept'], d['record'])")),
              QStringList{QStringLiteral("waiting None")});

    // Usable again: the next result goes behind the waiting one.
    ASSERT_TRUE(QFile::remove(recordsPath()));
    const CliRun next = kr90x({QStringLiteral("read"), QStringLiteral("diesel"), kTester,
                               QStringLiteral("--format=json")});
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(python(next.out, QStringLiteral("print(d['kept'], d['record'])")),
              QStringList{QStringLiteral("kept 2")});
    const CliRun first = kr90x({QStringLiteral("records"), QStringLiteral("show"),
                                QStringLiteral("1"), QStringLiteral("--format=json")});
    EXPECT_EQ(python(first.out, QStringLiteral("print(d['function']['name'], d['uid'] != '')")),
              QStringList{QStringLiteral("petrol True")});
}

TEST_F(CliRecordsTest, ReportOfAReadIsTheWindowsPdfWithItsChart) {
    const QString pdf = home.filePath(QStringLiteral("rail.pdf"));
    const CliRun run =
        kr90x({QStringLiteral("report"), QStringLiteral("rail"), kTester, QStringLiteral("--pdf"),
               pdf, QStringLiteral("--vehicle"), QStringLiteral("customer=Żaneta Łęcka")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString(); // a report made says nothing
    // One A4 page.
    const QString info = poppler(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QStringLiteral("Pages:           1")));
    EXPECT_TRUE(info.contains(QStringLiteral("(A4)")));
    // The template's title, the record's lines, every letter as typed.
    const QString text = poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("COMMON RAIL HIGH PRESSURE TEST")));
    EXPECT_TRUE(text.contains(QStringLiteral("Customer: Żaneta Łęcka")));
    EXPECT_TRUE(text.contains(QStringLiteral("on the virtual tester")));
    // The report's face, embedded.
    const QString fonts = poppler(QStringLiteral("pdffonts"), {pdf});
    EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationSans"))) << fonts.toStdString();
    EXPECT_FALSE(fonts.contains(QStringLiteral(" no  "))) << fonts.toStdString();
    // The logo and the chart, the chart at the renderer's 300 dpi.
    const QString images = poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.count(QStringLiteral("jpeg")), 2) << images.toStdString();
    EXPECT_TRUE(images.contains(QStringLiteral("300   300"))) << images.toStdString();
}

TEST_F(CliRecordsTest, ReportOfARecordPrintsItsCylindersAndSpread) {
    read(QStringLiteral("petrol"), QStringLiteral("AB-123"));
    const QString pdf = home.filePath(QStringLiteral("petrol.pdf"));
    const CliRun run = kr90x({QStringLiteral("report"), QStringLiteral("--record"),
                              QStringLiteral("1"), QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("COMPRESSION TEST")));
    EXPECT_TRUE(text.contains(QStringLiteral("Cylinder # 3: 11,9 Bar")));
    EXPECT_TRUE(text.contains(QStringLiteral("Spread: 4,1 %")));
    EXPECT_TRUE(text.contains(QStringLiteral("Plate: AB-123")));
    // A curve without a report.
    read(QStringLiteral("turbo"), QStringLiteral("T-1"));
    const CliRun turbo = kr90x({QStringLiteral("report"), QStringLiteral("--record=2"),
                                QStringLiteral("--pdf"), pdf + QStringLiteral(".2")});
    EXPECT_EQ(turbo.exitCode, 2);
    EXPECT_TRUE(turbo.errorLine().contains(QStringLiteral("has no report")));
}

} // namespace
