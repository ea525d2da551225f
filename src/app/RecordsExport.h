#pragma once

#include "records/Measurement.h"

#include <QChar>
#include <QString>

#include <functional>
#include <variant>
#include <vector>

namespace kr90x {

namespace reports {
class ReportDialogs;
}

// A record read for use, or why it cannot be used.
using FetchedRecord = std::variant<records::Measurement, QString>;

// "Export CSV…": the chosen records into the file the user names. Each record is read,
// written and let go before the next, so a long selection of long curves never has to
// fit in memory at once. Records that cannot be read are left out and told together in
// one message; when none can be read, no file is made.
void exportRecordsCsv(reports::ReportDialogs& dialogs, QChar decimalSeparator,
                      const std::vector<records::RecordId>& ids,
                      const std::function<FetchedRecord(records::RecordId)>& fetch);

} // namespace kr90x
