#include "records/BackgroundKeeper.h"

#include "records/Outbox.h"
#include "records/RecordWriter.h"

namespace kr90x::records {

BackgroundKeeper::BackgroundKeeper(const StoreLocation& location, KeeperTiming timing,
                                   QObject* parent)
    : QObject(parent), writer_(new RecordWriter(location)) { // deleted on thread_
    // What waits from an earlier run is known from the start: a new result goes behind it.
    {
        Outbox probe;
        waiting_ = probe.open(location.outboxPath) ? probe.count().value_or(-1) : 0;
    }
    writer_->retryDelayMs = timing.retryDelayMs;
    writer_->retries = timing.retries;
    writer_->sendIntervalMs = timing.sendIntervalMs;
    writer_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("records writer"));
    connect(writer_, &RecordWriter::saved, this, [this](const QString& uid, qint64 id) {
        handedOver_.erase(uid);
        emit saved(uid, id);
    });
    connect(writer_, &RecordWriter::lost, this, [this](const QString& uid, const QString& why) {
        handedOver_.erase(uid);
        emit lost(uid, why);
    });
    connect(writer_, &RecordWriter::waiting, this, [this](int count, const QString& why) {
        waiting_ = count;
        emit waitingChanged(count, why);
    });
    connect(writer_, &RecordWriter::vehicleKept, this, &BackgroundKeeper::vehicleKept);
    thread_.start();
    RecordWriter* w = writer_;
    QMetaObject::invokeMethod(
        w, [w] { w->start(); }, Qt::QueuedConnection);
}

BackgroundKeeper::~BackgroundKeeper() {
    // After everything handed over: queued calls are done in order, so the writer goes
    // only once each result is kept or waiting on disk.
    RecordWriter* w = writer_;
    QThread* t = &thread_;
    QMetaObject::invokeMethod(
        w,
        [w, t] {
            delete w;
            t->quit();
        },
        Qt::QueuedConnection);
    thread_.wait();
}

void BackgroundKeeper::save(const Measurement& m) {
    handedOver_.insert(m.uid);
    RecordWriter* w = writer_;
    QMetaObject::invokeMethod(
        w, [w, m] { w->save(m); }, Qt::QueuedConnection);
}

void BackgroundKeeper::updateVehicle(const QString& uid, const VehicleDetails& vehicle) {
    RecordWriter* w = writer_;
    QMetaObject::invokeMethod(
        w, [w, uid, vehicle] { w->updateVehicle(uid, vehicle); }, Qt::QueuedConnection);
}

} // namespace kr90x::records
