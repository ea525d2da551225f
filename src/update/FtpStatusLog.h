#pragma once

#include "update/FtpTypes.h"

#include <QByteArray>

namespace kr90x {

class DialogService;
class Log;
class TFtpClient;

// What every FTP client of the window does alike with its status events: a log line
// per event, and the simple message on a time-out. scLogin and scTransferOK start each
// client's own work and are left to the caller; so is anything the caller adds to scClose.
void logFtpStatus(Log& log, DialogService& dialogs, const TFtpClient& client, TFtpStatusCode code,
                  const QByteArray& info);

// The log line that says a download was refused for its hash.
QString hashMismatchLine(const QString& fileName);

// Starts a client's connection; a server that cannot be reached at all leaves one log
// line and a closed client. False in that case.
bool loginOrLog(TFtpClient& client, Log& log);

} // namespace kr90x
