#pragma once

#include <QString>

namespace kr90x {

// orvo-kr90x --copy-records FILE: the records of FILE into those the settings name, once
// each. Says on standard output what it copied, or on standard error why it could not;
// the exit status: 0 copied (or nothing to copy), 1 not, or records of FILE damaged.
int copyRecordsCommand(const QString& file);

} // namespace kr90x
