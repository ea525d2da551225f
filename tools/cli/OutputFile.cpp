#include "OutputFile.h"

#include <cstdio>

namespace kr90x::cli {

CliResult<std::unique_ptr<OutputFile>> OutputFile::open(const QString& path) {
    if (path.isEmpty() || path == QLatin1String("-")) {
        return std::unique_ptr<OutputFile>(new OutputFile(nullptr));
    }
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) {
        return cliFail(Exit::RecordsOrFile,
                       QStringLiteral("cannot write %1: %2").arg(path, file->errorString()));
    }
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(file)));
}

CliError OutputFile::failure() const {
    return {Exit::RecordsOrFile,
            file_
                ? QStringLiteral("cannot write %1: %2").arg(file_->fileName(), file_->errorString())
                : QStringLiteral("cannot write to standard output")};
}

CliResult<Done> OutputFile::write(const QByteArray& bytes) {
    if (file_) {
        if (file_->write(bytes) != bytes.size()) {
            return fail(failure());
        }
        return Done{};
    }
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
        static_cast<std::size_t>(bytes.size())) {
        return fail(failure());
    }
    return Done{};
}

CliResult<Done> OutputFile::commit() {
    if (file_ ? !file_->commit() : std::fflush(stdout) != 0) {
        return fail(failure());
    }
    return Done{};
}

} // namespace kr90x::cli
