// kr90x's exit status for each cause, and its one line on standard error naming it.
#include "CliRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace kr90x::test;

namespace {

class CliExitTest : public CliTest {
protected:
    // The status and that the failure said one line beginning with the program's name.
    void expectFailure(const QStringList& arguments, int status, const QString& cause) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const CliRun run = kr90x(arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, status) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.errorLine().startsWith(QStringLiteral("kr90x: ")));
        EXPECT_TRUE(run.errorLine().contains(cause)) << run.errorLine().toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

TEST_F(CliExitTest, HelpListsEveryExitStatus) {
    const CliRun run = kr90x({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* status :
         {"  0    done", "  1    the tester", "  2    usage", "  3    no tester",
          "  4    the tester did not answer", "  5    the workshop records", "  130  interrupted",
          "  143  ended by SIGTERM", "a function without a report", "\"-\" for --pdf or --csv"}) {
        EXPECT_TRUE(run.out.contains(status)) << status;
    }
    EXPECT_EQ(kr90x({QStringLiteral("--version")}).out, QByteArray("kr90x 1.04\n"));
}

TEST_F(CliExitTest, TheTesterRefusingOrAnsweringBadlyIsOne) {
    // Turbo, FSI and TDI need firmware 12: the window's gate, with the window's words.
    expectFailure({QStringLiteral("read"), QStringLiteral("turbo"),
                   QStringLiteral("--virtual-tester=pace=0,firmware=11")},
                  1, QStringLiteral("firmware must be updated"));
    expectFailure({QStringLiteral("read"), QStringLiteral("rail"),
                   QStringLiteral("--virtual-tester=pace=0,samples=0")},
                  1, QStringLiteral("No data available"));
    expectFailure({QStringLiteral("read"), QStringLiteral("petrol"),
                   QStringLiteral("--virtual-tester=pace=0,garbage")},
                  1, QStringLiteral("holds no number"));
    expectFailure({QStringLiteral("read"), QStringLiteral("petrol"),
                   QStringLiteral("--virtual-tester=pace=0,short")},
                  1, QStringLiteral("holds no number"));
    expectFailure({QStringLiteral("read"), QStringLiteral("rail"),
                   QStringLiteral("--virtual-tester=pace=0,wrong-prefix"),
                   QStringLiteral("--timeout=100")},
                  1, QStringLiteral("not understood: \"KR90Y_GAMX"));
    // Nothing refused is kept.
    const CliRun list =
        kr90x({QStringLiteral("records"), QStringLiteral("list"), QStringLiteral("--format=json")});
    EXPECT_EQ(python(list.out, QStringLiteral("print(len(d['records']))")),
              QStringList{QStringLiteral("0")});
}

TEST_F(CliExitTest, BadUsageIsTwoAndTalksToNoTester) {
    const QString out = home.filePath(QStringLiteral("out.json"));
    for (const auto& [arguments, cause] : std::vector<std::pair<QStringList, QString>>{
             {{}, QStringLiteral("no command")},
             {{QStringLiteral("measure")}, QStringLiteral("unknown command \"measure\"")},
             {{QStringLiteral("read"), QStringLiteral("hydraulic")},
              QStringLiteral("unknown test function")},
             // What it quotes stays on its one line.
             {{QStringLiteral("read"), QStringLiteral("rail\nx")},
              QStringLiteral("unknown test function \"rail\\x0ax\"")},
             {{QStringLiteral("read"), QStringLiteral("9")},
              QStringLiteral("unknown test function \"9\"")},
             {{QStringLiteral("read")}, QStringLiteral("which test function")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--colour")},
              QStringLiteral("unknown option \"--colour\"")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--timeout"),
               QStringLiteral("0")},
              QStringLiteral("--timeout takes")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--timeout=600001")},
              QStringLiteral("--timeout takes")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--timeout=-5")},
              QStringLiteral("--timeout takes")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--format=xml")},
              QStringLiteral("--format takes")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--vehicle"),
               QStringLiteral("colour=red")},
              QStringLiteral("--vehicle takes")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--vehicle"),
               QStringLiteral("plate=") + QString(21, QLatin1Char('X'))},
              QStringLiteral("at most 20")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--vehicle"),
               QStringLiteral("notes=a\x01")},
              QStringLiteral("control characters")},
             {{QStringLiteral("read"), QStringLiteral("rail"),
               QStringLiteral("--virtual-tester=firmware=1000")},
              QStringLiteral("--virtual-tester: ")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("--pdf"), out},
              QStringLiteral("--pdf is not an option of read")},
             {{QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("-o")},
              QStringLiteral("-o needs a value")},
             {{QStringLiteral("report"), QStringLiteral("turbo"), QStringLiteral("--pdf"), out},
              QStringLiteral("turbo has no report")},
             {{QStringLiteral("report"), QStringLiteral("rail")}, QStringLiteral("needs --pdf")},
             {{QStringLiteral("report"), QStringLiteral("rail"), QStringLiteral("--record=1"),
               QStringLiteral("--pdf"), out},
              QStringLiteral("not both")},
             // A kept record's report has the record's vehicle and is kept already.
             {{QStringLiteral("report"), QStringLiteral("--record=1"), QStringLiteral("--pdf"), out,
               QStringLiteral("--vehicle"), QStringLiteral("plate=AB-1")},
              QStringLiteral("takes no --vehicle")},
             {{QStringLiteral("report"), QStringLiteral("--record=1"), QStringLiteral("--pdf"), out,
               QStringLiteral("--no-record")},
              QStringLiteral("takes no --no-record")},
             {{QStringLiteral("records"), QStringLiteral("show"), QStringLiteral("0")},
              QStringLiteral("one record number")},
             {{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("x")},
              QStringLiteral("no record number")},
             {{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("1")},
              QStringLiteral("needs --csv")},
             // Only a file is put in place whole or not at all.
             {{QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("--csv"),
               QStringLiteral("-")},
              QStringLiteral("--csv takes a file")},
             {{QStringLiteral("report"), QStringLiteral("petrol"), QStringLiteral("--pdf=-")},
              QStringLiteral("--pdf takes a file")},
         }) {
        expectFailure(QStringList{kTester} + arguments, 2, cause);
    }
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(CliExitTest, NoTesterOrNoAccessIsThree) {
    expectFailure({QStringLiteral("read"), QStringLiteral("petrol"),
                   QStringLiteral("--virtual-tester=no-access")},
                  3, QStringLiteral("may not open it"));
    expectFailure({QStringLiteral("read"), QStringLiteral("petrol"), kTester,
                   QStringLiteral("--device"), QStringLiteral("/dev/hidraw99")},
                  3, QStringLiteral("no KR90X tester at /dev/hidraw99 (testers at virtual:1)"));
    // Pulled out half way through a curve.
    expectFailure({QStringLiteral("read"), QStringLiteral("rail"),
                   QStringLiteral("--virtual-tester=pace=0,unplug-after=100")},
                  3, QStringLiteral("unplugged after"));
}

TEST_F(CliExitTest, SilenceIsFourAfterTheTimeOutAsked) {
    // The version question goes unanswered (firmware taken as 11, as the window does),
    // then the read.
    expectFailure({QStringLiteral("read"), QStringLiteral("petrol"),
                   QStringLiteral("--virtual-tester=silent"), QStringLiteral("--timeout=50")},
                  4, QStringLiteral("no reply within 50 ms"));
    // A reply later than the time-out is as none.
    expectFailure({QStringLiteral("read"), QStringLiteral("diesel"),
                   QStringLiteral("--virtual-tester=pace=0,delay=300"),
                   QStringLiteral("--timeout=100")},
                  4, QStringLiteral("No data has been received!"));
    // The version's answer comes after its time-out, before the read's time-out ends:
    // the read still gets its own reply, or its own time-out, never the version's.
    for (const char* function : {"petrol", "rail"}) {
        SCOPED_TRACE(function);
        const CliRun late = kr90x({QStringLiteral("read"), QString::fromLatin1(function),
                                   QStringLiteral("--virtual-tester=pace=0,delay=150"),
                                   QStringLiteral("--timeout=100"), QStringLiteral("--no-record")});
        EXPECT_TRUE(late.exitCode == 0 || late.exitCode == 4) << late.err.toStdString();
        EXPECT_FALSE(late.err.contains("KR90X_VERS")) << late.err.toStdString();
    }
    // The same tester answers in time when given time.
    EXPECT_EQ(
        kr90x({QStringLiteral("read"), QStringLiteral("diesel"),
               QStringLiteral("--virtual-tester=pace=0,delay=30"), QStringLiteral("--no-record")})
            .exitCode,
        0);
}

TEST_F(CliExitTest, AFileThatCannotBeWrittenIsFiveAndNothingIsLeft) {
    const QString folder = home.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));
    // No such folder: told before the tester is asked anything.
    expectFailure({QStringLiteral("read"), QStringLiteral("rail"), kTester, QStringLiteral("-o"),
                   folder + QStringLiteral("/none/rail.json")},
                  5, QStringLiteral("cannot write"));
    // A folder that may not be written (root may write anywhere: the case needs a user).
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        expectFailure({QStringLiteral("report"), QStringLiteral("petrol"), kTester,
                       QStringLiteral("--pdf"), folder + QStringLiteral("/r.pdf")},
                      5, QStringLiteral("cannot write"));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    // A file that exists stays as it was when the read fails.
    QFile kept(folder + QStringLiteral("/rail.json"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("earlier\n");
    kept.close();
    expectFailure({QStringLiteral("read"), QStringLiteral("rail"),
                   QStringLiteral("--virtual-tester=pace=0,samples=0"), QStringLiteral("-o"),
                   kept.fileName()},
                  1, QStringLiteral("No data available"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier\n"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("rail.json")}); // no temporary left
}

TEST_F(CliExitTest, RecordsThatCannotBeUsedAreFive) {
    expectFailure({QStringLiteral("records"), QStringLiteral("show"), QStringLiteral("4")}, 5,
                  QStringLiteral("no record 4"));
    expectFailure({QStringLiteral("report"), QStringLiteral("--record"), QStringLiteral("4"),
                   QStringLiteral("--pdf"), home.filePath(QStringLiteral("r.pdf"))},
                  5, QStringLiteral("no record 4"));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("r.pdf"))));
    expectFailure({QStringLiteral("records"), QStringLiteral("export"), QStringLiteral("4"),
                   QStringLiteral("--csv"), home.filePath(QStringLiteral("r.csv"))},
                  5, QStringLiteral("record 4 cannot be exported"));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("r.csv"))));

    // Where the records' folder should be there is a file: neither they nor an outbox
    // can be made. The result is still written out, and the failure said.
    QProcessEnvironment env = environment();
    const QString blocked = home.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    env.insert(QStringLiteral("XDG_DATA_HOME"), blocked);
    const CliRun run = kr90x({QStringLiteral("read"), QStringLiteral("petrol"), kTester,
                              QStringLiteral("--format=json")},
                             env);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(run.errorLine().contains(QStringLiteral("not kept")))
        << run.errorLine().toStdString();
    EXPECT_EQ(python(run.out, QStringLiteral("print(d['kept'], d['record'])")),
              QStringList{QStringLiteral("not-kept None")});
}

} // namespace
