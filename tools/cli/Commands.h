#pragma once

#include "Arguments.h"
#include "CliError.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace kr90x::cli {

class OutputFile;
class TesterSession;

// Runs the command a command line asked for, with the event loop of the application the
// caller made (a QApplication for reports, whose charts are widgets).
class Commands {
public:
    explicit Commands(Invocation invocation);
    ~Commands();

    CliResult<Done> run();
    // Ctrl+C or SIGTERM: a conversation with the tester ends with the tester idle;
    // anything else ends at its next step (see checkInterrupt()).
    void interrupt();

private:
    CliResult<Done> devices();
    CliResult<Done> read();
    CliResult<Done> report();
    CliResult<Done> recordsList();
    CliResult<Done> recordsShow();
    CliResult<Done> recordsExport();
    CliResult<Done> eeprom();
    CliResult<Done> command();
    CliResult<Done> deliver(OutputFile& out, const QByteArray& bytes,
                            const std::optional<CliError>& keepError);
    TesterSession& session();

    Invocation inv_;
    std::unique_ptr<TesterSession> session_;
};

} // namespace kr90x::cli
