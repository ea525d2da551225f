#include "CliRecords.h"

#include "InterruptSignal.h"
#include "OutputFile.h"
#include "measure/TestFunctions.h"
#include "records/CsvExport.h"
#include "records/RecordWriter.h"
#include "records/SearchText.h"

#include <unordered_set>

namespace kr90x::cli {
namespace {

Failure<CliError> recordsFail(const QString& what, const records::RecordStore& store) {
    return cliFail(Exit::RecordsOrFile, what + QStringLiteral(": ") + store.lastError());
}

// A record fits the test function it names: six cylinders for a compression, samples for
// a curve. Anything else is damage.
bool fits(const records::Measurement& m) {
    const TestFunction* f = testFunction(m.function);
    return f && !f->isCurve() == m.isCompression();
}

CliResult<std::unique_ptr<records::RecordStore>> openedRecords() {
    std::unique_ptr<records::RecordStore> store = openRecords();
    if (store->mode() == records::RecordStore::Mode::Closed) {
        return recordsFail(QStringLiteral("the workshop records cannot be opened"), *store);
    }
    return store;
}

} // namespace

std::unique_ptr<records::RecordStore> openRecords() {
    auto store = std::make_unique<records::RecordStore>();
    store->open(records::configuredStoreLocation());
    return store;
}

// The writer of the records openRecords() opened, with the outbox that belongs to them:
// where they are comes from that one place.
std::unique_ptr<records::RecordWriter> recordsWriter(const records::RecordStore& opened) {
    return std::make_unique<records::RecordWriter>(opened.location());
}

CliResult<Keeping> keepResult(const records::Measurement& m) {
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return fail(i.error());
    }
    std::unique_ptr<records::RecordWriter> writer;
    bool server = false;
    {
        const std::unique_ptr<records::RecordStore> store = openRecords();
        if (store->mode() == records::RecordStore::Mode::Closed &&
            store->lastFault() == records::Fault::CannotOpen &&
            store->location().engine == records::Engine::SQLite) {
            // No folder for them: none for the outbox either. A server away or refusing
            // leaves the outbox of this PC.
            return recordsFail(QStringLiteral("the result was not kept"), *store);
        }
        writer = recordsWriter(*store);
        server = store->location().engine == records::Engine::PostgreSQL;
    }
    // The window's writer, run on this thread: it sends what waits first, tries the
    // records a bounded time while another program holds them, and else puts the result
    // in the outbox, on disk, before it says so.
    Keeping keeping{Keeping::State::Waiting, std::nullopt, server};
    QString lost;
    QString waitReason;
    QObject::connect(writer.get(), &records::RecordWriter::saved,
                     [&](const QString& uid, qint64 id) {
                         if (uid == m.uid) {
                             keeping = {Keeping::State::Kept, id};
                         }
                     });
    QObject::connect(writer.get(), &records::RecordWriter::lost,
                     [&](const QString& uid, const QString& reason) {
                         if (uid == m.uid) {
                             lost = reason.isEmpty() ? QStringLiteral("unknown") : reason;
                         }
                     });
    QObject::connect(writer.get(), &records::RecordWriter::waiting,
                     [&](int, const QString& reason) { waitReason = reason; });
    writer->start();
    writer->save(m);
    if (CliResult<Done> i = checkInterrupt(); !i) {
        // Ended while the records were waited for: the failure's line is the one said.
        return fail(i.error());
    }
    if (!lost.isNull()) {
        return cliFail(Exit::RecordsOrFile,
                       QStringLiteral("the result was not kept in the workshop records: ") + lost);
    }
    if (keeping.state == Keeping::State::Waiting) {
        std::fprintf(
            stderr,
            "kr90x: the result waits %s (%s); the next program that keeps a result keeps "
            "it too\n",
            server ? "on this PC for the records server" : "beside the workshop records",
            qPrintable(oneLine(waitReason.isEmpty() ? QStringLiteral("not written yet")
                                                    : waitReason))); // a server's may span lines
    }
    return keeping;
}

CliResult<records::Measurement> loadRecord(records::RecordId id) {
    CliResult<std::unique_ptr<records::RecordStore>> store = openedRecords();
    if (!store) {
        return fail(store.error());
    }
    std::optional<records::Measurement> m = (*store)->load(id);
    if (!m) {
        if ((*store)->lastFault() == records::Fault::Gone) {
            return cliFail(Exit::RecordsOrFile, QStringLiteral("no record %1").arg(id));
        }
        return recordsFail(QStringLiteral("record %1 cannot be read").arg(id), **store);
    }
    if (!fits(*m)) {
        return cliFail(Exit::RecordsOrFile, QStringLiteral("record %1 is damaged").arg(id));
    }
    return std::move(*m);
}

CliResult<Done> listRecords(const QString& search, const RowsTaker& take) {
    CliResult<std::unique_ptr<records::RecordStore>> store = openedRecords();
    if (!store) {
        return fail(store.error());
    }
    // The records window's search and order; a few thousand rows a query, so that neither
    // the list nor the query's offsets grow with the records.
    constexpr int kChunk = 4096;
    const QStringList words = records::searchWords(search);
    // Each query is a transaction of its own: a result another PC keeps between two of
    // them moves every row after it one place on, and the last row of a page comes again
    // at the start of the next. Such a repeat is dropped; the new result itself comes in
    // the next list.
    std::unordered_set<records::RecordId> seen;
    for (int offset = 0;; offset += kChunk) {
        std::optional<std::vector<records::RecordSummary>> rows =
            (*store)->page(words, offset, kChunk);
        if (!rows) {
            return recordsFail(QStringLiteral("the workshop records cannot be read"), **store);
        }
        const bool last = rows->size() < static_cast<std::size_t>(kChunk);
        std::erase_if(
            *rows, [&seen](const records::RecordSummary& r) { return !seen.insert(r.id).second; });
        if (CliResult<Done> r = take(*rows); !r) {
            return r;
        }
        if (last) {
            return Done{};
        }
    }
}

CliResult<Done> exportRecords(const std::vector<records::RecordId>& ids, OutputFile& file) {
    // Every record when none is named: their numbers alone are held, not their rows.
    std::vector<records::RecordId> chosen = ids;
    if (chosen.empty()) {
        CliResult<Done> listed =
            listRecords({}, [&chosen](std::span<const records::RecordSummary> rows) {
                for (const records::RecordSummary& r : rows) {
                    chosen.push_back(r.id);
                }
                return CliResult<Done>(Done{});
            });
        if (!listed) {
            return listed;
        }
    }
    CliResult<std::unique_ptr<records::RecordStore>> store = openedRecords();
    if (!store) {
        return fail(store.error());
    }
    const QChar decimal = windowFormat().DecimalSeparator;
    if (CliResult<Done> r = file.write(records::csvHeader()); !r) {
        return r;
    }
    // One record read, written and let go at a time: a long selection of long curves
    // never has to fit in memory at once.
    for (records::RecordId id : chosen) {
        if (CliResult<Done> i = checkInterrupt(); !i) {
            return i;
        }
        std::optional<records::Measurement> m = (*store)->load(id);
        if (!m || !fits(*m)) {
            return cliFail(Exit::RecordsOrFile,
                           QStringLiteral("record %1 cannot be exported: %2; no file was written")
                               .arg(id)
                               .arg(!m && (*store)->lastFault() == records::Fault::Gone
                                        ? QStringLiteral("there is no such record")
                                    : !m ? (*store)->lastError()
                                         : QStringLiteral("it is damaged")));
        }
        std::optional<CliError> writeError;
        const auto put = [&](const QByteArray& bytes) {
            CliResult<Done> w = file.write(bytes);
            if (!w) {
                writeError = w.error();
            }
            return w.ok();
        };
        if (!records::writeRecordCsv(*m, decimal, put)) {
            return fail(writeError.value_or(
                CliError{Exit::RecordsOrFile, QStringLiteral("cannot write the CSV")}));
        }
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    return file.commit();
}

} // namespace kr90x::cli
