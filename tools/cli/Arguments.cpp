#include "Arguments.h"

#include "VehicleOption.h"

#include "core/Texts.h"
#include "measure/TestFunctions.h"

#include <array>
#include <bitset>

namespace kr90x::cli {
namespace {

enum class Opt {
    VirtualTester,
    Device,
    Timeout,
    Format,
    Output,
    Vehicle,
    NoRecord,
    Pdf,
    Record,
    Search,
    Csv,
    Count
};

struct OptionRow {
    Opt opt;
    const char* name;      // long name, with its dashes
    const char* shortName; // nullptr: none
    bool takesValue;
};

constexpr std::array<OptionRow, static_cast<std::size_t>(Opt::Count)> kOptions{{
    {Opt::VirtualTester, "--virtual-tester", nullptr, false}, // its value only after '='
    {Opt::Device, "--device", nullptr, true},
    {Opt::Timeout, "--timeout", nullptr, true},
    {Opt::Format, "--format", nullptr, true},
    {Opt::Output, "--output", "-o", true},
    {Opt::Vehicle, "--vehicle", nullptr, true},
    {Opt::NoRecord, "--no-record", nullptr, false},
    {Opt::Pdf, "--pdf", nullptr, true},
    {Opt::Record, "--record", nullptr, true},
    {Opt::Search, "--search", nullptr, true},
    {Opt::Csv, "--csv", nullptr, true},
}};

using Options = std::bitset<static_cast<std::size_t>(Opt::Count)>;

constexpr std::size_t bit(Opt o) {
    return static_cast<std::size_t>(o);
}

Options optionsOf(std::initializer_list<Opt> list) {
    // The tester's options hold for every command: a script passes them the same way to all.
    Options set;
    set.set(bit(Opt::VirtualTester)).set(bit(Opt::Device)).set(bit(Opt::Timeout));
    for (Opt o : list) {
        set.set(bit(o));
    }
    return set;
}

struct CommandRow {
    Command command;
    const char* name;
    Options options;
};

const std::vector<CommandRow>& commands() {
    static const std::vector<CommandRow> table = {
        {Command::Devices, "devices", optionsOf({Opt::Format, Opt::Output})},
        {Command::Read, "read", optionsOf({Opt::Format, Opt::Output, Opt::Vehicle, Opt::NoRecord})},
        {Command::Report, "report",
         optionsOf({Opt::Pdf, Opt::Record, Opt::Vehicle, Opt::NoRecord})},
        {Command::RecordsList, "records list", optionsOf({Opt::Search, Opt::Format, Opt::Output})},
        {Command::RecordsShow, "records show", optionsOf({Opt::Format, Opt::Output})},
        {Command::RecordsExport, "records export", optionsOf({Opt::Csv})},
        {Command::Eeprom, "eeprom", optionsOf({Opt::Output})},
    };
    return table;
}

Failure<CliError> usage(const QString& message) {
    return cliFail(Exit::Usage, message);
}

// A whole number from `minimum` to `maximum`, digits only.
std::optional<qint64> number(const QString& text, qint64 minimum, qint64 maximum) {
    if (text.isEmpty() || text.size() > 18) {
        return std::nullopt;
    }
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const qint64 n = text.toLongLong();
    if (n < minimum || n > maximum) {
        return std::nullopt;
    }
    return n;
}

std::optional<int> functionOf(const QString& text) {
    if (const std::optional<qint64> n =
            number(text, 0, static_cast<qint64>(testFunctions().size()) - 1)) {
        return static_cast<int>(*n);
    }
    const QByteArray name = text.toLower().toLatin1();
    const TestFunction* f = testFunctionNamed(
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    return f ? std::optional(f->index) : std::nullopt;
}

std::optional<records::RecordId> recordIdOf(const QString& text) {
    return number(text, 1, (qint64(1) << 53)); // as exact in a JSON number as in the records
}

struct Given {
    Opt opt;
    QString name; // as typed
    QString value;
};

// Options and their values, and the words between them; the tester's options are checked
// here, the others once the command is known.
CliResult<Done> split(const QStringList& arguments, std::vector<Given>& given, QStringList& words,
                      bool& help, bool& version) {
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (optionsEnd || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            version = true;
            continue;
        }
        const qsizetype eq =
            arg.startsWith(QLatin1String("--")) ? arg.indexOf(QLatin1Char('=')) : -1;
        const QString name = eq < 0 ? arg : arg.left(eq);
        const OptionRow* row = nullptr;
        for (const OptionRow& o : kOptions) {
            if (name == QLatin1String(o.name) ||
                (o.shortName && name == QLatin1String(o.shortName))) {
                row = &o;
            }
        }
        if (!row) {
            return usage(QStringLiteral("unknown option \"%1\"").arg(name));
        }
        Given g{row->opt, name, {}};
        if (eq >= 0) {
            if (!row->takesValue && row->opt != Opt::VirtualTester) {
                return usage(QStringLiteral("%1 takes no value").arg(name));
            }
            g.value = arg.mid(eq + 1);
        } else if (row->takesValue) {
            if (++i >= arguments.size()) {
                return usage(QStringLiteral("%1 needs a value").arg(name));
            }
            g.value = arguments[i];
        }
        given.push_back(std::move(g));
    }
    return Done{};
}

CliResult<Done> apply(Invocation& inv, const Given& g) {
    switch (g.opt) {
    case Opt::VirtualTester: {
        const ParsedTesterOptions parsed = parseTesterOptions(g.value);
        if (!parsed.options) {
            return usage(QStringLiteral("--virtual-tester: ") + parsed.error);
        }
        inv.virtualTester = parsed.options;
        return Done{};
    }
    case Opt::Device:
        if (g.value.isEmpty()) {
            return usage(QStringLiteral("--device needs a device node, such as /dev/hidraw0"));
        }
        inv.device = g.value;
        return Done{};
    case Opt::Timeout:
        if (const std::optional<qint64> ms = number(g.value, 1, kMaxTimeoutMs)) {
            inv.timeoutMs = static_cast<int>(*ms);
            return Done{};
        }
        return usage(QStringLiteral("--timeout takes milliseconds from 1 to %1, not \"%2\"")
                         .arg(kMaxTimeoutMs)
                         .arg(g.value));
    case Opt::Format:
        if (g.value == QLatin1String("text")) {
            inv.format = Format::Text;
        } else if (g.value == QLatin1String("json")) {
            inv.format = Format::Json;
        } else if (g.value == QLatin1String("csv")) {
            inv.format = Format::Csv;
        } else {
            return usage(
                QStringLiteral("--format takes text, json or csv, not \"%1\"").arg(g.value));
        }
        return Done{};
    case Opt::Output:
        inv.output = g.value;
        return Done{};
    case Opt::Vehicle:
        return setVehicleDetail(inv.vehicle, g.value);
    case Opt::NoRecord:
        inv.noRecord = true;
        return Done{};
    case Opt::Pdf:
        inv.pdf = g.value;
        return Done{};
    case Opt::Record:
        if (const std::optional<records::RecordId> id = recordIdOf(g.value)) {
            inv.record = *id;
            return Done{};
        }
        return usage(QStringLiteral("--record takes a record number, not \"%1\"").arg(g.value));
    case Opt::Search:
        inv.search = g.value;
        return Done{};
    case Opt::Csv:
        inv.csv = g.value;
        return Done{};
    case Opt::Count:
        break;
    }
    return usage(QStringLiteral("unknown option"));
}

// The command's own words, after its name.
CliResult<Done> takeWords(Invocation& inv, const QStringList& rest) {
    const auto tooMany = [&]() {
        return usage(QStringLiteral("unexpected \"%1\"")
                         .arg(rest.value(inv.command == Command::RecordsExport ? 0 : 1)));
    };
    switch (inv.command) {
    case Command::Read:
    case Command::Report: {
        if (rest.isEmpty()) {
            if (inv.command == Command::Report && inv.record) {
                return Done{};
            }
            return usage(QStringLiteral("which test function? petrol, diesel, rail, turbo, fsi, "
                                        "tdi, oil, low, manometer or 0-8"));
        }
        if (rest.size() > 1) {
            return tooMany();
        }
        const std::optional<int> f = functionOf(rest.front());
        if (!f) {
            return usage(QStringLiteral("unknown test function \"%1\"").arg(rest.front()));
        }
        inv.function = *f;
        return Done{};
    }
    case Command::RecordsShow: {
        const std::optional<records::RecordId> id =
            rest.size() == 1 ? recordIdOf(rest.front()) : std::nullopt;
        if (!id) {
            return usage(QStringLiteral("records show takes one record number"));
        }
        inv.record = *id;
        return Done{};
    }
    case Command::RecordsExport:
        for (const QString& word : rest) {
            const std::optional<records::RecordId> id = recordIdOf(word);
            if (!id) {
                return usage(QStringLiteral("\"%1\" is no record number").arg(word));
            }
            inv.ids.push_back(*id);
        }
        return Done{};
    default:
        if (!rest.isEmpty()) {
            return usage(QStringLiteral("unexpected \"%1\"").arg(rest.front()));
        }
        return Done{};
    }
}

// What a command cannot do without, and what it cannot take together.
CliResult<Done> complete(const Invocation& inv) {
    switch (inv.command) {
    case Command::Report:
        if (inv.pdf.isEmpty()) {
            return usage(QStringLiteral("report needs --pdf FILE"));
        }
        // A PDF is made whole before it is written, but a pipe takes whatever came before
        // a failure to write: only a file is put in place whole or not at all.
        if (inv.pdf == QLatin1String("-")) {
            return usage(QStringLiteral("--pdf takes a file, not \"-\" (standard output)"));
        }
        if (inv.record && inv.function >= 0) {
            return usage(QStringLiteral("report takes a test function or --record ID, not both"));
        }
        // A kept record's vehicle and keeping were settled when it was kept: a script that
        // names them expects them in the report, which they would not be.
        if (inv.record && !inv.vehicle.isEmpty()) {
            return usage(QStringLiteral("report --record takes no --vehicle: the record's own "
                                        "vehicle is in its report"));
        }
        if (inv.record && inv.noRecord) {
            return usage(QStringLiteral("report --record takes no --no-record: it reads no "
                                        "result to keep"));
        }
        if (inv.function >= 0 && !testFunction(inv.function)->hasReport()) {
            return usage(QStringLiteral("%1 has no report")
                             .arg(QString::fromLatin1(testFunction(inv.function)->name)));
        }
        return Done{};
    case Command::RecordsExport:
        if (inv.csv.isEmpty()) {
            return usage(QStringLiteral("records export needs --csv FILE"));
        }
        // An export is written a record at a time: one that fails half way would leave
        // the records before it on a pipe, with nothing to tell them from a whole file.
        if (inv.csv == QLatin1String("-")) {
            return usage(QStringLiteral("--csv takes a file, not \"-\" (standard output)"));
        }
        return Done{};
    default:
        return Done{};
    }
}

} // namespace

CliResult<Invocation> parseArguments(const QStringList& arguments) {
    std::vector<Given> given;
    QStringList words;
    bool help = false;
    bool version = false;
    if (CliResult<Done> r = split(arguments, given, words, help, version); !r) {
        return fail(r.error());
    }
    Invocation inv;
    if (help || version) {
        inv.command = help ? Command::Help : Command::Version;
        return inv;
    }
    if (words.isEmpty()) {
        return usage(QStringLiteral("no command given (devices, read, report, records, eeprom)"));
    }
    QString name = words.takeFirst();
    if (name == QLatin1String("records")) {
        if (words.isEmpty()) {
            return usage(QStringLiteral("records takes list, show or export"));
        }
        name += QLatin1Char(' ') + words.takeFirst();
    }
    const CommandRow* row = nullptr;
    for (const CommandRow& c : commands()) {
        if (name == QLatin1String(c.name)) {
            row = &c;
        }
    }
    if (!row) {
        return usage(QStringLiteral("unknown command \"%1\"").arg(name));
    }
    inv.command = row->command;
    for (const Given& g : given) {
        if (!row->options.test(bit(g.opt))) {
            return usage(QStringLiteral("%1 is not an option of %2").arg(g.name, name));
        }
        if (CliResult<Done> r = apply(inv, g); !r) {
            return fail(r.error());
        }
    }
    if (CliResult<Done> r = takeWords(inv, words); !r) {
        return fail(r.error());
    }
    if (CliResult<Done> r = complete(inv); !r) {
        return fail(r.error());
    }
    return inv;
}

QString versionText() {
    return QStringLiteral("kr90x ") + QString::number(kProgramVersion, 'f', 2) + QLatin1Char('\n');
}

} // namespace kr90x::cli
