#pragma once

#include "core/Result.h"

#include <QString>

#include <functional>

namespace kr90x::records {

class RecordStore;

struct CopyCount {
    int copied = 0;
    int keptAlready = 0; // by an earlier copy, or as the same result
    int unreadable = 0;  // damaged in the source, or deleted from it meanwhile: passed over
};

// Copies every record of `from` into `to`, oldest first, each once: a record `to` holds
// already (by its result's uid) is passed over, so a copy cut off, or made again, never
// doubles one. Records kept before results had uids get one made from what was measured,
// the same at every copy. A record the source cannot give back whole is counted and
// passed over, so that one damaged record does not stop every copy at the same place.
// `progress` hears how many of how many are done.
Result<CopyCount, QString> copyRecords(RecordStore& from, RecordStore& to,
                                       const std::function<void(int, int)>& progress = {});

} // namespace kr90x::records
