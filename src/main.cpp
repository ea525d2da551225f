// Program entry: builds the application and its window and runs the event loop.
#include "app/QtDialogService.h"
#include "app/TForm1.h"
#include "core/AppState.h"
#include "core/ProcessStats.h"
#include "core/Texts.h"
#include "link/linux/LinuxHidPlatform.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "simulator/VirtualTester.h"

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvo_KR90X"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kr90x::kApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("orvo-kr90x"));

    bool probe = false;
    bool virtualTester = false;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--startup-probe")) {
            probe = true;
        } else if (arg == QLatin1String("--virtual-tester")) {
            virtualTester = true;
        }
    }

    // With --virtual-tester the program talks to a simulated tester, plugged in from the
    // start, instead of the machine's HID devices: for training and trying it out.
    std::unique_ptr<kr90x::HidPlatform> hid;
    std::shared_ptr<kr90x::VirtualTester> tester;
    if (virtualTester) {
        auto platform = std::make_unique<kr90x::VirtualHidPlatform>();
        tester = kr90x::VirtualTester::create();
        platform->plug(tester->device());
        hid = std::move(platform);
    } else {
        hid = std::make_unique<kr90x::LinuxHidPlatform>();
    }

    kr90x::AppState state;
    state.Format = kr90x::FormatSettings::fromSystem();
    kr90x::QtDialogService dialogs;
    // The program's own update lives next to it, which is what gets replaced; the
    // server comes from the build and the settings files.
    kr90x::TForm1 form(
        state, dialogs, *hid,
        kr90x::UpdateSettings::forRunningProgram(QCoreApplication::applicationDirPath()));
    dialogs.setParentWindow(&form);

    StartupProbe startupProbe;
    if (probe) {
        form.installEventFilter(&startupProbe);
    }
    form.show();
    return QApplication::exec();
}
