#pragma once

#include "records/Measurement.h"
#include "records/StoreLocation.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <algorithm>
#include <set>

namespace kr90x::records {

class RecordWriter;

// How long the writer waits between tries while the records are busy (doubling, a few
// times), and between sends of what waits in the outbox; tests shorten them.
struct KeeperTiming {
    int retryDelayMs = 40;
    int retries = 6;
    int sendIntervalMs = 2000;
};

// The window's side of the RecordWriter: the thread it runs on, and what the window asks
// of it, queued in order. Its signals come on the window's thread.
class BackgroundKeeper : public QObject {
    Q_OBJECT
public:
    explicit BackgroundKeeper(const StoreLocation& location, KeeperTiming timing = {},
                              QObject* parent = nullptr);
    // Waits for what was handed over to be kept or to be waiting on disk.
    ~BackgroundKeeper() override;

    void save(const Measurement& m);
    void updateVehicle(const QString& uid, const VehicleDetails& vehicle);
    // Results of this run handed over and not kept yet, or waiting in the outbox, or not
    // known yet (the writer has not said what its outbox holds): a new result goes behind.
    bool holdsAny() const { return !handedOver_.empty() || waiting_ != 0; }
    int waiting() const { return std::max(waiting_, 0); }

signals:
    void saved(const QString& uid, qint64 id);
    void vehicleKept(const QString& uid, bool ok, const QString& reason);
    void waitingChanged(int count, const QString& reason);
    void lost(const QString& uid, const QString& reason);

private:
    QThread thread_;
    RecordWriter* writer_;         // lives on thread_, deleted there
    std::set<QString> handedOver_; // their uids
    int waiting_ = -1;             // -1: not told yet
};

} // namespace kr90x::records
