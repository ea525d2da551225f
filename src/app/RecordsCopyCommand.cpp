#include "app/RecordsCopyCommand.h"

#include "records/RecordCopy.h"
#include "records/RecordStore.h"
#include "records/StoreLocation.h"

#include <QFileInfo>

#include <cstdio>

namespace kr90x {
namespace {

int failed(const QString& why) {
    std::fprintf(stderr, "orvo-kr90x: the records cannot be copied: %s\n",
                 why.toLocal8Bit().constData());
    return 1;
}

} // namespace

int copyRecordsCommand(const QString& file) {
    const records::StoreLocation to = records::configuredStoreLocation();
    for (const QString& warning : to.warnings) {
        std::fprintf(stderr, "%s\n", warning.toLocal8Bit().constData());
    }
    if (!QFileInfo(file).isFile()) {
        return failed(QStringLiteral("%1 is no records file").arg(file));
    }
    if (to.engine == records::Engine::SQLite &&
        QFileInfo(to.path).canonicalFilePath() == QFileInfo(file).canonicalFilePath()) {
        return failed(QStringLiteral("they are the records of this PC already (%1); "
                                     "records.conf names no server")
                          .arg(file));
    }
    records::RecordStore source;
    if (!source.open(file)) {
        return failed(file + QStringLiteral(": ") + source.lastError());
    }
    records::RecordStore target;
    if (!target.open(to)) {
        return failed(to.describe() + QStringLiteral(": ") + target.lastError());
    }
    const Result<records::CopyCount, QString> copied = records::copyRecords(source, target);
    if (!copied) {
        return failed(copied.error());
    }
    std::printf("Copied %d records from %s to %s; %d were there already.\n", copied->copied,
                file.toLocal8Bit().constData(), to.describe().toLocal8Bit().constData(),
                copied->keptAlready);
    if (copied->unreadable > 0) {
        return failed(QStringLiteral("%1 records of %2 are damaged and were passed over")
                          .arg(copied->unreadable)
                          .arg(file));
    }
    return 0;
}

} // namespace kr90x
