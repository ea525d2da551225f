// Runs the program on its Linux device path with a simulated KR90X: a fake hidraw node
// (umockdev) that answers like the tester, so that the unchanged program, with its
// libudev and hidraw backend, talks to it as to a tester on USB.
//
//   kr90x_simulated_tester [--commands] [--tester=OPTIONS] PROGRAM [PROGRAM ARGUMENTS...]
//
// Lines on standard input plug and pull the tester: "unplug", "plug", "quit".
// --commands prints every command the program sends, one per line ("> KR90X_VERS|").
// --tester takes the options of the program's --virtual-tester (stored=oil, firmware=11,
// delay=200, ...); no-access holds only for a program that does not run as root.
// Exits with the program's exit status.
#include "simulator/PtyTester.h"
#include "simulator/Testbed.h"
#include "simulator/TesterOptions.h"
#include "simulator/VirtualTester.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace kr90x;

namespace {

// The tester on its node, while it is plugged in.
struct Plugged {
    sim::Testbed::Device device;
    std::unique_ptr<sim::PtyTester> tester;
};

void say(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    sim::Testbed::ensurePreloaded(argv);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool printCommands = !args.isEmpty() && args.front() == QLatin1String("--commands");
    if (printCommands) {
        args.removeFirst();
    }
    TesterOptions options;
    if (!args.isEmpty() && args.front().startsWith(QLatin1String("--tester="))) {
        const ParsedTesterOptions parsed = parseTesterOptions(QStringView(args.front()).mid(9));
        if (!parsed.options) {
            std::fprintf(stderr, "kr90x_simulated_tester: %s\n%s",
                         parsed.error.toLocal8Bit().constData(),
                         testerOptionsHelp().toLocal8Bit().constData());
            return 2;
        }
        options = *parsed.options;
        args.removeFirst();
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: kr90x_simulated_tester [--commands] [--tester=OPTIONS] "
                             "PROGRAM [ARGS...]\n");
        return 2;
    }

    sim::Testbed bed;
    std::optional<Plugged> plugged;
    std::function<void()> unplug;
    const auto plug = [&] {
        if (plugged) {
            return;
        }
        plugged = Plugged{bed.plug({}), nullptr};
        auto logic = VirtualTester::create();
        logic->applyOptions(options);
        if (options.noAccess) {
            bed.setNodeMode(plugged->device, 0000);
        }
        plugged->tester = std::make_unique<sim::PtyTester>(plugged->device.master, logic);
        QObject::connect(
            plugged->tester.get(), &sim::PtyTester::pullOutRequested, &app,
            [&] { QTimer::singleShot(0, &app, [&] { unplug(); }); }, Qt::QueuedConnection);
        QObject::connect(plugged->tester.get(), &sim::PtyTester::commandReceived,
                         [&](const QString& c) {
                             if (printCommands) {
                                 say(QStringLiteral("> ") + c);
                             }
                         });
        say(QStringLiteral("plugged in as ") + QString::fromStdString(plugged->device.devnode));
    };
    unplug = [&] {
        if (plugged) {
            plugged->tester->stop();
            bed.unplug(plugged->device);
            plugged.reset();
            say(QStringLiteral("unplugged"));
        }
    };
    plug();

    QProcess program;
    // The preload library is inherited; UMOCKDEV_DIR names the testbed.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("UMOCKDEV_DIR"), QString::fromStdString(bed.rootDir()));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&program, &QProcess::finished, &app,
                     [&](int code) { QCoreApplication::exit(code); });
    QObject::connect(&program, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            std::fprintf(stderr, "cannot start %s\n", args.front().toLocal8Bit().constData());
            QCoreApplication::exit(2);
        }
    });
    program.start(args.front(), args.mid(1));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false); // no more commands: the program runs on
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray line = pending.left(end).trimmed();
            if (line == "unplug") {
                unplug();
            } else if (line == "plug") {
                plug();
            } else if (line == "quit") {
                program.terminate();
            } else if (!line.isEmpty()) {
                say(QStringLiteral("commands: plug, unplug, quit"));
            }
        }
    });
    return QCoreApplication::exec();
}
