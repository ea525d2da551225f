#pragma once

// Runs the real kr90x executable, each test with workshop records of its own, and reads
// back what it wrote.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kr90x::test {

// The simulated tester answering at once: what it answers, not its pace, is under test.
inline const QString kTester = QStringLiteral("--virtual-tester=pace=0");

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool finished = false;

    // The one line a failure writes, without its end.
    QString errorLine() const { return QString::fromLocal8Bit(err).trimmed(); }
};

class CliTest : public ::testing::Test {
protected:
    QTemporaryDir home; // XDG_DATA_HOME: the records live under it

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        // No records.conf of the machine's user: the records are the file under it.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // kr90x needs no display of any kind
        return env;
    }

    // Bounded well beyond what any command here takes: it ends by itself or fails here.
    CliRun kr90x(const QStringList& arguments, const QProcessEnvironment& env) const {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KR90X_CLI), arguments);
        CliRun run;
        run.finished = p.waitForFinished(60000);
        if (!run.finished) {
            p.kill();
            p.waitForFinished();
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = p.readAllStandardOutput();
        run.err = p.readAllStandardError();
        return run;
    }
    CliRun kr90x(const QStringList& arguments) const { return kr90x(arguments, environment()); }

    // A document's fields as Python's json module reads them: `program` is Python that
    // finds `d` parsed and prints lines.
    static QStringList python(const QByteArray& json, const QString& program) {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import json, sys\nd = json.load(sys.stdin)\n") + program});
        p.write(json);
        p.closeWriteChannel();
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            ADD_FAILURE() << "python3: " << p.readAllStandardError().toStdString();
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace kr90x::test
