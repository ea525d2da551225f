#pragma once

#include "CliError.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>

namespace kr90x::cli {

// Where a command's output goes: standard output, or a file that is made under a
// temporary name and put in place only when it is whole, so that a failure or an
// interruption never leaves a piece of one. Opened before the work starts, so that a file
// that cannot be written is told before the tester is asked anything.
class OutputFile {
public:
    // Empty or "-": standard output.
    static CliResult<std::unique_ptr<OutputFile>> open(const QString& path);

    // Adds bytes; the file is not in place until commit().
    CliResult<Done> write(const QByteArray& bytes);
    CliResult<Done> commit();
    bool toStandardOutput() const { return !file_; }

private:
    explicit OutputFile(std::unique_ptr<QSaveFile> file) : file_(std::move(file)) {}
    CliError failure() const;

    std::unique_ptr<QSaveFile> file_; // none: standard output
};

} // namespace kr90x::cli
