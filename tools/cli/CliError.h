#pragma once

#include "core/Result.h"

#include <QString>

namespace kr90x::cli {

// The exit status of every command, as --help and the manual page list them: a script
// tells the causes apart without reading the message.
enum class Exit : int {
    Done = 0,
    TesterRefused = 1, // the tester answered with an error or a refusal
    Usage = 2,
    NoTester = 3, // none found, the one named is not there, or this user may not open it
    TimedOut = 4,
    RecordsOrFile = 5,
    Interrupted = 130, // SIGINT, as a shell reports a program ended by it
    Terminated = 143,  // SIGTERM, likewise
};

// Why a command did not do what it was asked: its exit status and one line naming the
// cause, for standard error.
struct CliError {
    Exit exit = Exit::Usage;
    QString message;
};

template <class T> using CliResult = Result<T, CliError>;

// The value of a step that has nothing to give back but its success.
struct Done {};

// A message as one line: what it quotes of the command line or a device may hold line
// breaks or other control characters, which are written as \xNN.
inline QString oneLine(const QString& message) {
    QString line;
    line.reserve(message.size());
    for (QChar c : message) {
        if (c.category() == QChar::Other_Control) {
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            line += c;
        }
    }
    return line;
}

inline Failure<CliError> cliFail(Exit exit, const QString& message) {
    return fail(CliError{exit, oneLine(message)});
}

} // namespace kr90x::cli
