// kr90x: the tester and the workshop records from scripts and terminals, on the window's
// own libraries, without a window or a display.
#include "Arguments.h"
#include "Commands.h"
#include "InterruptSignal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>

#include <cstdio>
#include <memory>

using namespace kr90x::cli;

namespace {

// Qt's own notes (a runtime folder not set, a font not found) are not this program's to
// say: a script reads one line on standard error, and only for a failure.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "kr90x: %s\n", oneLine(text).toLocal8Bit().constData());
    }
}

int failed(const CliError& e) {
    std::fprintf(stderr, "kr90x: %s\n", oneLine(e.message).toLocal8Bit().constData());
    return static_cast<int>(e.exit);
}

// The report's charts are the window's widgets: they need a QApplication, which is given
// the platform that draws without any display. Everything else needs Qt Core alone.
std::unique_ptr<QCoreApplication> makeApplication(Command command, int& argc, char** argv) {
    if (command != Command::Report) {
        return std::make_unique<QCoreApplication>(argc, argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QApplication>(argc, argv);
    // The window's face, for whatever of a chart takes the application's font.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    return app;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    CliResult<Invocation> invocation = parseArguments(arguments);
    if (!invocation) {
        std::fprintf(stderr, "kr90x: %s (kr90x --help lists the commands)\n",
                     invocation.error().message.toLocal8Bit().constData());
        return static_cast<int>(Exit::Usage);
    }
    if (invocation->command == Command::Help) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (invocation->command == Command::Version) {
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    qInstallMessageHandler(qtMessage);
    // Qt's own options are not this program's: it is given its name alone.
    int qtArgc = 1;
    const std::unique_ptr<QCoreApplication> app =
        makeApplication(invocation->command, qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kr90x"));
    Commands commands(std::move(*invocation));
    const InterruptSignal interrupt([&commands](int) { commands.interrupt(); });
    const CliResult<Done> done = commands.run();
    if (!done) {
        return failed(done.error());
    }
    return 0;
}
