#pragma once

#include "simulator/TesterOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kr90x {

// What the program was asked on its command line. Only the program's own "--" options
// are read; Qt's (-platform, -style, ...) are left to Qt.
struct CommandLine {
    enum class Action { Run, Help, Version, CopyRecords, Error };
    Action action = Action::Run;
    // With --virtual-tester[=OPTIONS]: the simulated tester instead of the machine's HID
    // devices.
    std::optional<TesterOptions> virtualTester;
    bool startupProbe = false; // prints start-up figures at the first paint and quits
    QString error;             // with Action::Error: what was wrong, in one line
    QString copyFrom;          // with Action::CopyRecords: the records file to copy

    static CommandLine parse(const QStringList& arguments); // without the program name
    static QString usage();
    static QString versionText();
};

} // namespace kr90x
