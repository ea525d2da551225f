// kr90x on the Linux device path: libudev and /dev/hidrawN, faked by umockdev, with the
// simulated tester answering through the node as the real one does.
#include "CliRun.h"
#include "simulator/PtyTester.h"
#include "simulator/Testbed.h"
#include "simulator/VirtualTester.h"
#include "support/WaitFor.h"

#include <csignal>
#include <memory>
#include <vector>

using namespace kr90x;
using namespace kr90x::test;

namespace {

class CliDevicePathTest : public CliTest {
protected:
    sim::Testbed bed; // before asking whether the preload library sees it
    std::vector<std::pair<sim::Testbed::Device, std::unique_ptr<sim::PtyTester>>> testers;

    void SetUp() override {
        if (!sim::Testbed::preloaded()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
    }
    void TearDown() override {
        for (auto& t : testers) {
            t.second->stop();
        }
    }
    sim::PtyTester& plug(const QString& options = QStringLiteral("pace=0")) {
        const sim::Testbed::Device device = bed.plug({});
        auto logic = VirtualTester::create();
        logic->applyOptions(*parseTesterOptions(options).options);
        testers.emplace_back(device, std::make_unique<sim::PtyTester>(device.master, logic));
        return *testers.back().second;
    }
    QString node(std::size_t i) const {
        return QString::fromStdString(testers.at(i).first.devnode);
    }

    // The program is started and awaited on this side's event loop: the simulated testers
    // answer from it.
    void start(QProcess& p, const QStringList& arguments) {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("UMOCKDEV_DIR"), QString::fromStdString(bed.rootDir()));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KR90X_CLI), arguments);
        ASSERT_TRUE(p.waitForStarted());
    }
    CliRun run(const QStringList& arguments) {
        QProcess p;
        start(p, arguments);
        CliRun r;
        r.finished = waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000);
        if (!r.finished) {
            p.kill();
            p.waitForFinished();
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
};

TEST_F(CliDevicePathTest, ReadsACurveThroughTheHidrawNode) {
    sim::PtyTester& tester = plug();
    const CliRun r = run({QStringLiteral("read"), QStringLiteral("rail"),
                          QStringLiteral("--format=json"), QStringLiteral("--no-record")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        python(r.out, QStringLiteral("s = d['samples']\nprint(d['firmware'], d['virtual_tester'], "
                                     "len(s), float(s[0]), float(s[-1]))")),
        QStringList{QStringLiteral("12 False 999 14.0 %1")
                        .arg(QString::number(tester.logic()
                                                 .replyTo(QStringLiteral("KR90X_GAVA|  999|"))
                                                 .mid(17, 4)
                                                 .trimmed()
                                                 .toDouble(),
                                             'f', 1))});
    // The window's conversation: the version, the count, then every sample in turn.
    const QStringList& c = tester.commands();
    ASSERT_EQ(c.size(), 2 + 999);
    EXPECT_EQ(c[0], QStringLiteral("KR90X_VERS|"));
    EXPECT_TRUE(c[1].startsWith(QStringLiteral("KR90X_GAMX")));
    EXPECT_EQ(c.back(), QStringLiteral("KR90X_GAVA|  999|"));

    const CliRun devices = run({QStringLiteral("devices")});
    ASSERT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    EXPECT_EQ(devices.out,
              QStringLiteral("Device\tSerial\tFirmware\n%1\t\t12\n").arg(node(0)).toUtf8());
}

TEST_F(CliDevicePathTest, TwoTestersNeedTheDeviceNamed) {
    sim::PtyTester& first = plug();
    sim::PtyTester& second = plug(QStringLiteral("pace=0,firmware=14"));
    const CliRun both = run({QStringLiteral("read"), QStringLiteral("petrol")});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_EQ(both.errorLine(),
              QStringLiteral("kr90x: 2 testers found (%1, %2): choose one with --device")
                  .arg(node(0), node(1)));
    EXPECT_TRUE(first.commands().isEmpty());

    const CliRun chosen =
        run({QStringLiteral("read"), QStringLiteral("petrol"), QStringLiteral("--device"), node(1),
             QStringLiteral("--format=json"), QStringLiteral("--no-record")});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err.toStdString();
    EXPECT_EQ(python(chosen.out, QStringLiteral("print(d['firmware'])")),
              QStringList{QStringLiteral("14")});
    EXPECT_TRUE(first.commands().isEmpty());
    EXPECT_EQ(second.commands().size(), 2);

    const CliRun listed = run({QStringLiteral("devices"), QStringLiteral("--format=csv")});
    EXPECT_EQ(
        listed.out,
        QStringLiteral("Device;Serial;Firmware\n%1;;12\n%2;;14\n").arg(node(0), node(1)).toUtf8());
}

TEST_F(CliDevicePathTest, CtrlCDuringADownloadLeavesTheTesterIdle) {
    sim::PtyTester& tester = plug(QStringLiteral("pace=1,samples=20000"));
    const QString out = home.filePath(QStringLiteral("rail.json"));
    QProcess p;
    start(p, {QStringLiteral("read"), QStringLiteral("rail"), QStringLiteral("-o"), out});
    ASSERT_TRUE(waitFor([&] { return tester.commands().size() >= 200; }, 30000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    const qsizetype asked = tester.commands().size();
    ASSERT_TRUE(waitFor([&] { return p.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(p.exitCode(), 130);
    // At most the request that was under way when the signal came; its reply was awaited.
    EXPECT_LE(tester.commands().size(), asked + 1);
    const QString error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    EXPECT_TRUE(error.startsWith(QStringLiteral("kr90x: interrupted after ")))
        << error.toStdString();
    EXPECT_TRUE(error.endsWith(QStringLiteral(" of 19999 samples"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_TRUE(QDir(home.path())
                    .entryList({QStringLiteral("rail.json*")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
}

} // namespace
