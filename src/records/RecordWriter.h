#pragma once

#include "records/Measurement.h"
#include "records/Outbox.h"
#include "records/RecordStore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace kr90x::records {

// Keeps the results the window could not keep at once, on a thread of its own: it tries
// again while the records are busy (for a bounded time), and what still cannot be written
// waits in the outbox, to be sent in order, exactly once, as soon as the records take it.
// Every call comes queued from the window's thread; answers go back as signals.
class RecordWriter : public QObject {
    Q_OBJECT
public:
    explicit RecordWriter(StoreLocation location);
    ~RecordWriter() override;

    // How long to wait between tries while the records are busy, and between sends of the
    // outbox; tests shorten them.
    int retryDelayMs = 40;
    int retries = 6;
    int sendIntervalMs = 2000;

    // Runs on the writer's thread.
    void start();
    void save(const Measurement& m);
    void updateVehicle(const QString& uid, const VehicleDetails& vehicle);
    void send();

signals:
    // Kept in the records with this number.
    void saved(const QString& uid, qint64 id);
    // The vehicle details of a result kept meanwhile went to its record or its outbox row.
    void vehicleKept(const QString& uid, bool ok, const QString& reason);
    // How many results wait in the outbox, and why the last try failed (empty: none wait).
    void waiting(int count, const QString& reason);
    // Neither the records nor the outbox could take it.
    void lost(const QString& uid, const QString& reason);

private:
    bool storeReady();
    std::optional<RecordId> trySave(const Measurement& m);
    void report();

    StoreLocation location_;             // the records, and the outbox on this PC
    std::unique_ptr<RecordStore> store_; // made on this thread
    std::unique_ptr<Outbox> outbox_;
    QTimer* sendTimer_ = nullptr; // child, on this thread
    QString reason_;
    int reported_ = -1;
};

} // namespace kr90x::records
