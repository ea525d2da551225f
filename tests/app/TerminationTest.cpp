// SIGTERM and SIGINT end the real program as closing its window does: exit status 0, and
// the records closed (SQLite folds its write-ahead log back into the file). On the way,
// its log lines on standard error and in the log file.
#include "support/WaitFor.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

TEST(Termination, SigtermAndSigintCloseTheProgramAsItsWindowDoes) {
    // The third time a modal box is open (the tester may not be opened) when the signal
    // comes: the close runs inside the box's event loop, and the box must not hold it.
    struct Case {
        int signal;
        const char* option;
    };
    for (const Case c : {Case{SIGTERM, "--virtual-tester"}, Case{SIGINT, "--virtual-tester"},
                         Case{SIGTERM, "--virtual-tester=no-access"}}) {
        const int signal = c.signal;
        SCOPED_TRACE(c.option);
        SCOPED_TRACE(signal);
        QTemporaryDir data;
        ASSERT_TRUE(data.isValid());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), data.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KR90X_PROGRAM), {QString::fromLatin1(c.option)});
        const QString records = data.filePath(QStringLiteral("orvo-kr90x/records.sqlite"));
        const QString wal = records + QStringLiteral("-wal");
        QFile file(data.filePath(QStringLiteral("orvo-kr90x/orvo-kr90x.log")));
        // Up, with its records open, once it has found the virtual tester.
        ASSERT_TRUE(kr90x::test::waitFor(
            [&] {
                file.close();
                return file.open(QIODevice::ReadOnly) &&
                       file.readAll().contains(" Orvo tester detected ...\n");
            },
            20000));
        ASSERT_TRUE(QFile::exists(wal));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(QFile::exists(records));
        EXPECT_FALSE(QFile::exists(wal));
        // The log on standard error too.
        EXPECT_TRUE(program.readAllStandardError().contains("Orvo tester detected ..."));
    }
}
