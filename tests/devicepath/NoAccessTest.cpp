// A tester this user may not open: the program runs as an unprivileged user (root opens
// any node whatever its mode) on the parent's testbed, whose node has no permissions for
// it until the parent gives them, as udev does with the tester's rule.
#include "DevicePath.h"

#include "link/DeviceConnection.h"

#include <QCoreApplication>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

using namespace kr90x;
using namespace kr90x::test;

namespace {

constexpr const char* kChildVariable = "KR90X_NO_ACCESS_CHILD";

// One line to the parent, at once.
void tellParent(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

} // namespace

// The unprivileged side. It makes no testbed of its own: it runs on the parent's.
TEST(NoAccessChild, SeesTheTesterExplainsOnceAndTakesItWhenAllowed) {
    if (qEnvironmentVariableIsEmpty(kChildVariable)) {
        GTEST_SKIP() << "runs only as the unprivileged side of the test below";
    }
    AppState state;
    RecordingDialogService dialogs;
    LinuxHidPlatform hid;
    TForm1 form(state, dialogs, hid, UpdateSettings{});
    ASSERT_TRUE(waitFor([&] { return !dialogs.boxes.empty(); }, 10000));
    EXPECT_EQ(form.StatusBar->panelText(0),
              QStringLiteral("KR90X found, but this user may not open it"));
    EXPECT_FALSE(form.btnReaddata->isEnabled());
    ASSERT_NE(state.TesterDevice, nullptr);
    EXPECT_FALSE(state.TesterDevice->HasReadWriteAccess());
    EXPECT_FALSE(state.TesterDevice->hasReader());
    tellParent("box shown");

    // The parent gives the node its permissions and says so with a change event.
    ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 20000));
    EXPECT_TRUE(state.TesterDevice->hasReader());
    EXPECT_EQ(form.StatusBar->panelText(0), QStringLiteral("KR90X connected"));
    EXPECT_TRUE(form.btnReaddata->isEnabled());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, QString::fromLatin1(kNoAccessMessage));
    tellParent("answered");
}

TEST_F(DevicePathTest, ATesterThisUserMayNotOpenIsExplainedOnceAndTakenOnceAllowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the program as another user";
    }
    sim::PtyTester& tester = plugTester();
    const sim::Testbed::Device& node = plugged.back().device;
    ASSERT_TRUE(bed.setNodeMode(node, 0000));
    bed.openToEveryone();

    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ::chown(runtime.path().toLocal8Bit().constData(), 65534, 65534);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("UMOCKDEV_DIR"), QString::fromStdString(bed.rootDir()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("HOME"), runtime.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=NoAccessChild.*")});
    QByteArray said;
    const auto heard = [&](const char* line) {
        said += child.readAllStandardOutput();
        return said.contains(line) || child.state() == QProcess::NotRunning;
    };
    ASSERT_TRUE(waitFor([&] { return heard("box shown"); }, 30000));
    ASSERT_TRUE(said.contains("box shown")) << said.toStdString();
    EXPECT_TRUE(tester.commands().isEmpty()); // the version question could not be sent

    ASSERT_TRUE(bed.setNodeMode(node, 0666)); // the rule's permissions
    bed.announce(node, "change");
    ASSERT_TRUE(waitFor([&] { return heard("answered"); }, 30000));
    ASSERT_TRUE(waitFor([&] { return child.state() == QProcess::NotRunning; }, 30000));
    said += child.readAllStandardOutput();
    EXPECT_EQ(child.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("answered")) << said.toStdString();
    EXPECT_EQ(tester.commands(), QStringList{QStringLiteral("KR90X_VERS|")});
}
