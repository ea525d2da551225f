// Program entry: builds the application and its window and runs the event loop.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "app/QtDialogService.h"
#include "app/RecordsCopyCommand.h"
#include "app/TForm1.h"
#include "core/TerminationSignals.h"
#include "app/VirtualTesterSession.h"
#include "app/WorkshopRecords.h"
#include "core/AppState.h"
#include "core/ProcessStats.h"
#include "link/linux/LinuxHidPlatform.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Start-up figures for the benchmark: wall clock at the first paint of the window and
// the peak resident memory so far.
class StartupProbe : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::printf("shown_ns=%lld peak_kib=%lld\n",
                        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                        kr90x::peakResidentKib());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool done_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    // Read before the application exists: --help and --version need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const kr90x::CommandLine commandLine = kr90x::CommandLine::parse(arguments);
    switch (commandLine.action) {
    case kr90x::CommandLine::Action::Help:
        std::fputs(kr90x::CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case kr90x::CommandLine::Action::Version:
        std::fputs(kr90x::CommandLine::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case kr90x::CommandLine::Action::CopyRecords: {
        QCoreApplication app(argc, argv); // Qt's database drivers are its plugins
        return kr90x::copyRecordsCommand(commandLine.copyFrom);
    }
    case kr90x::CommandLine::Action::Error:
        std::fprintf(stderr, "orvo-kr90x: %s\n\n%s", commandLine.error.toLocal8Bit().constData(),
                     kr90x::CommandLine::usage().toLocal8Bit().constData());
        return 2;
    case kr90x::CommandLine::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    kr90x::setUpApplication();
    // A logout, systemctl or kill ends the program as closing its window does; told on the
    // event loop, so not before the window is there to close.
    kr90x::TerminationSignals termination;

    // With --virtual-tester the program talks to a simulated tester, plugged in from the
    // start, instead of the machine's HID devices: for training and trying it out.
    std::unique_ptr<kr90x::VirtualTesterSession> session;
    std::unique_ptr<kr90x::LinuxHidPlatform> linuxHid;
    kr90x::HidPlatform* hid = nullptr;
    if (commandLine.virtualTester) {
        session = std::make_unique<kr90x::VirtualTesterSession>(*commandLine.virtualTester);
        hid = &session->platform();
    } else {
        linuxHid = std::make_unique<kr90x::LinuxHidPlatform>();
        hid = linuxHid.get();
    }

    kr90x::AppState state;
    state.Format = kr90x::FormatSettings::fromSystem();
    kr90x::QtDialogService dialogs;
    kr90x::LogFile logFile; // outlives the window, which logs until it is gone
    // The program's own update lives next to it, which is what gets replaced; the
    // server comes from the build and the settings files.
    kr90x::TForm1 form(
        state, dialogs, *hid,
        kr90x::UpdateSettings::forRunningProgram(QCoreApplication::applicationDirPath()));
    dialogs.setParentWindow(&form);
    form.log().setSink([&logFile](const QString& line) { logFile.add(line); });
    form.records().setVirtualTester(commandLine.virtualTester.has_value());
    form.records().openStore(kr90x::records::configuredStoreLocation());

    QObject::connect(&termination, &kr90x::TerminationSignals::requested, &form, [&form] {
        if (form.close()) {
            QCoreApplication::quit(); // the tester panel may still be open
        }
    });

    StartupProbe startupProbe;
    if (commandLine.startupProbe) {
        form.installEventFilter(&startupProbe);
    }
    form.show();
    if (session) {
        session->showPanel(&form);
    }
    return QApplication::exec();
}
