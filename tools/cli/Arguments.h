#pragma once

#include "CliError.h"
#include "records/Measurement.h"
#include "simulator/TesterOptions.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kr90x::cli {

enum class Command {
    Help,
    Version,
    Devices,
    Read,
    Report,
    RecordsList,
    RecordsShow,
    RecordsExport,
    Eeprom
};
enum class Format { Text, Json, Csv };

// What the command line asks for, checked: every value in range, every option one its
// command takes.
struct Invocation {
    Command command = Command::Help;
    // Where the tester is: a simulated one, or the one at a device node (none: the only one).
    std::optional<TesterOptions> virtualTester;
    QString device;
    int timeoutMs = 500; // per reply, as the window waits
    int function = -1;   // read, report
    Format format = Format::Text;
    QString output; // empty or "-": standard output
    QString pdf;
    std::optional<records::RecordId> record; // report --record, records show
    std::vector<records::RecordId> ids;      // records export; none: every record
    QString csv;
    QString search;
    records::VehicleDetails vehicle;
    bool noRecord = false;
};

inline constexpr int kMaxTimeoutMs = 600000;

CliResult<Invocation> parseArguments(const QStringList& arguments); // without the program name
QString usageText();
QString versionText();

} // namespace kr90x::cli
