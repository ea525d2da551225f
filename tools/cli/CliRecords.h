#pragma once

#include "Arguments.h"
#include "CliError.h"
#include "ResultOutput.h"
#include "records/Measurement.h"
#include "records/RecordStore.h"

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kr90x::records {
class RecordWriter;
}

namespace kr90x::cli {

class OutputFile;

// The workshop records the window keeps its results in, opened: the one place that says
// which records those are. Check mode() and lastError() before use.
std::unique_ptr<records::RecordStore> openRecords();

// The writer of the records openRecords() opened, and of the outbox that belongs to them.
std::unique_ptr<records::RecordWriter> recordsWriter(const records::RecordStore& opened);

// Keeps a result as the window does: in the records, or, when they cannot take it now,
// in the outbox beside them, behind what waits there already.
CliResult<Keeping> keepResult(const records::Measurement& m);

// One record whole; Exit::RecordsOrFile when it is not there or cannot be used.
CliResult<records::Measurement> loadRecord(records::RecordId id);

// The records, newest first, narrowed as the records window's search narrows them, handed
// to `take` a few thousand at a time.
using RowsTaker = std::function<CliResult<Done>(std::span<const records::RecordSummary>)>;
CliResult<Done> listRecords(const QString& search, const RowsTaker& take);

// The records' CSV of those records (none: every record), all or nothing.
CliResult<Done> exportRecords(const std::vector<records::RecordId>& ids, OutputFile& file);

} // namespace kr90x::cli
