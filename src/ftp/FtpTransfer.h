#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <memory>
#include <optional>

namespace kr90x {

// The facts of one file retrieve, from Retrieve until the client is idle again.
struct FtpTransfer {
    QByteArray remoteName;
    QString localName;
    std::unique_ptr<QFile> file; // open while data may still be written
    // The end of the data connection alone does not make a file: the server's final
    // positive reply must have come too, in either order.
    bool dataClosed = false;
    bool finalReplySeen = false;
    std::optional<qint64> announcedSize; // "(N bytes)" of the 150 reply
    bool sizeCheck = true;               // a restarted transfer announces the whole size

    // The most bytes the transfer may bring: the announced size, and never more than
    // `ceiling`.
    qint64 limit(qint64 ceiling) const {
        return announcedSize ? std::min(*announcedSize, ceiling) : ceiling;
    }
};

// Writes all of `data` to the descriptor; the errno of the failure, or 0.
int writeAll(int fd, const char* data, qint64 size);

} // namespace kr90x
