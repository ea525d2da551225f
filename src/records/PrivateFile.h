#pragma once

#include <QString>

namespace kr90x::records {

// Makes the file's folder (0700) and the file (0600, empty) when they are missing, and
// takes from others what they could read of ours: the records name customers and their
// vehicles. SQLite gives a database's write-ahead log and shared memory the database
// file's own permissions. False when the folder cannot be made.
bool makePrivateFile(const QString& path);

} // namespace kr90x::records
