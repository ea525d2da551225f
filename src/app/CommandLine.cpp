#include "app/CommandLine.h"

#include "core/Texts.h"

#include <array>

namespace kr90x {
namespace {

// Qt's own options, which QApplication takes out of the arguments itself.
struct QtOption {
    const char* name;
    bool takesValue; // the next argument, or "=value"
};
constexpr std::array<QtOption, 17> kQtOptions = {{
    {"-platform", true},
    {"-platformpluginpath", true},
    {"-platformtheme", true},
    {"-plugin", true},
    {"-qmljsdebugger", true},
    {"-qwindowgeometry", true},
    {"-qwindowicon", true},
    {"-qwindowtitle", true},
    {"-session", true},
    {"-style", true},
    {"-stylesheet", true},
    {"-display", true},
    {"-geometry", true},
    {"-reverse", false},
    {"-widgetcount", false},
    {"-nograb", false},
    {"-dograb", false},
}};

// The Qt option `arg` is, if it is one.
const QtOption* qtOption(const QString& arg) {
    for (const QtOption& o : kQtOptions) {
        const QLatin1String name(o.name);
        if (arg == name || (o.takesValue && arg.startsWith(name + QLatin1Char('=')))) {
            return &o;
        }
    }
    return nullptr;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine c;
    const QString virtualOption = QStringLiteral("--virtual-tester");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            c.action = Action::Help;
            return c;
        }
        if (arg == QLatin1String("--version")) {
            c.action = Action::Version;
            return c;
        }
        const QString copyOption = QStringLiteral("--copy-records");
        if (arg == copyOption || arg.startsWith(copyOption + QLatin1Char('='))) {
            c.copyFrom = arg == copyOption ? arguments.value(++i) : arg.mid(copyOption.size() + 1);
            if (c.copyFrom.isEmpty()) {
                c.action = Action::Error;
                c.error = QStringLiteral("--copy-records needs the records file to copy");
                return c;
            }
            c.action = Action::CopyRecords;
        } else if (arg == QLatin1String("--startup-probe")) {
            c.startupProbe = true;
        } else if (arg == virtualOption || arg.startsWith(virtualOption + QLatin1Char('='))) {
            const ParsedTesterOptions parsed =
                parseTesterOptions(QStringView(arg).mid(virtualOption.size() + 1));
            if (!parsed.options) {
                c.action = Action::Error;
                c.error = QStringLiteral("--virtual-tester: ") + parsed.error;
                return c;
            }
            c.virtualTester = parsed.options;
        } else if (const QtOption* qt =
                       arg.startsWith(QLatin1String("--")) ? nullptr : qtOption(arg)) {
            if (qt->takesValue && !arg.contains(QLatin1Char('='))) {
                ++i; // its value, which may look like anything
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            c.action = Action::Error;
            c.error = QStringLiteral("unknown option \"%1\"").arg(arg);
            return c;
        }
    }
    return c;
}

QString CommandLine::usage() {
    QString testerOptions;
    for (const QString& line : testerOptionsHelp().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        testerOptions += QStringLiteral("  ") + line + QLatin1Char('\n');
    }
    return QStringLiteral("Usage: orvo-kr90x [--virtual-tester[=OPTIONS]] [--help] [--version]\n"
                          "       orvo-kr90x --copy-records FILE\n"
                          "\n"
                          "Reads, charts and prints the results of the Orvo KR90X pressure\n"
                          "tester on USB.\n"
                          "\n"
                          "  --virtual-tester[=OPTIONS]\n"
                          "      a simulated tester instead of one on USB, with a panel to\n"
                          "      plug it in, pull it out and change what it holds; OPTIONS,\n"
                          "      separated by commas:\n") +
           testerOptions +
           QStringLiteral("  --copy-records FILE\n"
                          "      copies the records of the records file FILE into the records\n"
                          "      that records.conf names (a workshop's server), each once,\n"
                          "      and ends; copying again copies only what is new\n"
                          "  --help       this text\n"
                          "  --version    the program's version\n"
                          "\n"
                          "Example: orvo-kr90x --virtual-tester=stored=oil,weak-cylinder=3\n");
}

QString CommandLine::versionText() {
    return QString::fromLatin1(kApplicationTitle) + QLatin1Char(' ') +
           QString::number(kProgramVersion, 'f', 2) + QLatin1Char('\n');
}

} // namespace kr90x
