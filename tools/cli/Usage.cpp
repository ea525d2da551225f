// The --help text; the manual page, packaging/kr90x.1, says the same at more length.
#include "Arguments.h"

namespace kr90x::cli {

QString usageText() {
    QString testerOptions;
    for (const QString& line : testerOptionsHelp().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        testerOptions += QStringLiteral("      ") + line + QLatin1Char('\n');
    }
    return QStringLiteral(
               "Usage: kr90x [OPTIONS] COMMAND [ARGUMENTS]\n"
               "\n"
               "Reads the Orvo KR90X pressure tester on USB, and the workshop records the\n"
               "window keeps, from scripts and terminals.\n"
               "\n"
               "Commands:\n"
               "  devices [--format text|json|csv]\n"
               "      the testers found: device node, serial number, firmware version\n"
               "  read FUNCTION [--format text|json|csv] [-o FILE] [--vehicle KEY=VALUE]...\n"
               "       [--no-record]\n"
               "      reads one result and keeps it in the workshop records (not with\n"
               "      --no-record). FUNCTION: petrol, diesel, rail, turbo, fsi, tdi, oil, low,\n"
               "      manometer, or its number 0-8. KEY: plate, vin, make-model, odometer,\n"
               "      customer, technician, notes\n"
               "  report FUNCTION --pdf FILE [--vehicle KEY=VALUE]... [--no-record]\n"
               "  report --record ID --pdf FILE\n"
               "      the window's report as a PDF, of a new read or of a kept record\n"
               "      (petrol, diesel, rail, oil, low and manometer have one)\n"
               "  records list [--search TEXT] [--format text|json|csv] [-o FILE]\n"
               "  records show ID [--format text|json|csv] [-o FILE]\n"
               "  records export [ID...] --csv FILE\n"
               "      the records window's list, one record, or the records' CSV (every\n"
               "      record when no ID is given)\n"
               "  eeprom [-o FILE]\n"
               "      the tester's EEPROM, addresses 0 to 2200, as the window logs it\n"
               "  -o, --output FILE, --pdf FILE, --csv FILE\n"
               "      where a command writes (-o: standard output when not given or \"-\";\n"
               "      --pdf and --csv: a file only); the file is put in place only when whole\n"
               "\n"
               "Options of every command:\n"
               "  --device PATH   the tester at this hidraw node, when several are plugged in\n"
               "  --timeout MS    how long to wait for each reply, 1-600000 (500)\n"
               "  --virtual-tester[=OPTIONS]\n"
               "      the simulated tester instead of one on USB; OPTIONS, separated by\n"
               "      commas:\n") +
           testerOptions +
           QStringLiteral(
               "  --help          this text\n"
               "  --version       the program's version\n"
               "\n"
               "JSON output is schema 1 (the field \"schema\"): numbers are JSON numbers,\n"
               "dates are UTC. Text output uses the window's decimal comma.\n"
               "\n"
               "Exit status:\n"
               "  0    done\n"
               "  1    the tester answered with an error or a refusal (firmware too old,\n"
               "       no data, a reply not understood)\n"
               "  2    usage: unknown command, option or function, a value out of range,\n"
               "       options that do not go together, a function without a report,\n"
               "       \"-\" for --pdf or --csv, several testers and no --device\n"
               "  3    no tester, the one named is not there, or this user may not open it\n"
               "  4    the tester did not answer in time\n"
               "  5    the workshop records or a file could not be read or written\n"
               "  130  interrupted (Ctrl+C); the tester is left idle, nothing is written\n"
               "  143  ended by SIGTERM, as by Ctrl+C\n"
               "Every failure is one line on standard error.\n"
               "\n"
               "Example: kr90x read rail --format json --vehicle plate=AB-123 -o rail.json\n");
}

} // namespace kr90x::cli
