#pragma once

#include "core/Result.h"

#include <QString>

#include <functional>

namespace kr90x::records {

class RecordStore;

struct CopyCount {
    int copied = 0;
    int keptAlready = 0; // by an earlier copy, or as the same result
};

// Copies every record of `from` into `to`, oldest first, each once: a record `to` holds
// already (by its result's uid) is passed over, so a copy cut off, or made again, never
// doubles one. Records kept before results had uids get one made from what was measured,
// the same at every copy. `progress` hears how many of how many are done.
Result<CopyCount, QString> copyRecords(RecordStore& from, RecordStore& to,
                                       const std::function<void(int, int)>& progress = {});

} // namespace kr90x::records
