#pragma once

#include "records/Measurement.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <vector>

namespace kr90x::records {

// Results the records could not take yet (another program held them, the disk was full,
// the file could not be written), in a small SQLite file of their own beside them: each
// one is on disk before it is reported waiting, and waits until it is kept, in the order
// it came, across restarts. Used from one thread, the one that opened it.
class Outbox {
public:
    struct Waiting {
        qint64 seq = 0;
        Measurement measurement;
        bool damaged = false; // its samples cannot be read back
    };

    Outbox();
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // "outbox.sqlite" beside the records file at `recordsPath`.
    static QString pathBeside(const QString& recordsPath);

    bool open(const QString& path);
    bool isOpen() const { return db_.isOpen(); }
    // On disk when true. A result that is waiting already (its uid) is not added twice.
    bool add(const Measurement& m);
    // The oldest waiting results, at most `max`; none when the file cannot be read.
    std::optional<std::vector<Waiting>> oldest(int max);
    bool remove(qint64 seq);
    // True when a waiting result of that uid took the details.
    bool updateVehicle(const QString& uid, const VehicleDetails& vehicle);
    // None when the file cannot be read.
    std::optional<int> count();
    QString lastError() const { return error_; }

private:
    bool fail(const QString& error);

    QString connectionName_;
    QSqlDatabase db_;
    QString error_;
};

} // namespace kr90x::records
