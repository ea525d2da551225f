#include "app/CommandLine.h"

#include "core/Texts.h"

namespace kr90x {

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine c;
    const QString virtualOption = QStringLiteral("--virtual-tester");
    for (const QString& arg : arguments) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            c.action = Action::Help;
            return c;
        }
        if (arg == QLatin1String("--version")) {
            c.action = Action::Version;
            return c;
        }
        if (arg == QLatin1String("--startup-probe")) {
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
        } else if (arg.startsWith(QLatin1String("--"))) {
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
                          "\n"
                          "Reads, charts and prints the results of the Orvo KR90X pressure\n"
                          "tester on USB.\n"
                          "\n"
                          "  --virtual-tester[=OPTIONS]\n"
                          "      a simulated tester instead of one on USB, with a panel to\n"
                          "      plug it in, pull it out and change what it holds; OPTIONS,\n"
                          "      separated by commas:\n") +
           testerOptions +
           QStringLiteral("  --help       this text\n"
                          "  --version    the program's version\n"
                          "\n"
                          "Example: orvo-kr90x --virtual-tester=stored=oil,weak-cylinder=3\n");
}

QString CommandLine::versionText() {
    return QString::fromLatin1(kApplicationTitle) + QLatin1Char(' ') +
           QString::number(kProgramVersion, 'f', 2) + QLatin1Char('\n');
}

} // namespace kr90x
