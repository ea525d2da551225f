// SIGTERM and SIGINT end the real program as closing its window does: exit status 0, and
// the records closed (SQLite folds its write-ahead log back into the file).
#include "support/WaitFor.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

TEST(Termination, SigtermAndSigintCloseTheProgramAsItsWindowDoes) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        QTemporaryDir data;
        ASSERT_TRUE(data.isValid());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KR90X_PROGRAM), {QStringLiteral("--virtual-tester")});
        const QString records = data.filePath(QStringLiteral("orvo-kr90x/records.sqlite"));
        const QString log = records + QStringLiteral("-wal");
        // The records are open, and the window up, once the first paint asked for events.
        ASSERT_TRUE(kr90x::test::waitFor([&] { return QFile::exists(log); }, 20000));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(QFile::exists(records));
        EXPECT_FALSE(QFile::exists(log));
    }
}
