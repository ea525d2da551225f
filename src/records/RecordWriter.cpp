#include "records/RecordWriter.h"

#include <QThread>

namespace kr90x::records {
namespace {

// Worth trying again at once: another program holds the records. Anything else (no space,
// a file that may not be written, a server away) waits in the outbox for the send timer.
bool passing(Fault f) {
    return f == Fault::Busy;
}

} // namespace

RecordWriter::RecordWriter(StoreLocation location) : location_(std::move(location)) {}

RecordWriter::~RecordWriter() = default;

void RecordWriter::start() {
    sendTimer_ = new QTimer(this); // owned by the writer
    sendTimer_->setInterval(sendIntervalMs);
    connect(sendTimer_, &QTimer::timeout, this, &RecordWriter::send);
    outbox_ = std::make_unique<Outbox>();
    if (!outbox_->open(location_.outboxPath)) {
        reason_ = outbox_->lastError();
    }
    send();
}

bool RecordWriter::storeReady() {
    if (!store_) {
        store_ = std::make_unique<RecordStore>();
    }
    return store_->writable() || store_->open(location_);
}

// Tries for a bounded time while another program holds the records; anything else ends
// the tries at once.
std::optional<RecordId> RecordWriter::trySave(const Measurement& m) {
    for (int attempt = 0;; ++attempt) {
        if (storeReady()) {
            if (std::optional<RecordId> id = store_->save(m)) {
                return id;
            }
        }
        reason_ = store_->lastError();
        if (!passing(store_->lastFault()) || attempt >= retries) {
            return std::nullopt;
        }
        QThread::msleep(static_cast<unsigned long>(retryDelayMs << std::min(attempt, 4)));
    }
}

void RecordWriter::save(const Measurement& m) {
    // Behind those that wait already: the records take results in the order they came.
    // Without an outbox the records are the only place: they are tried all the same.
    if (!outbox_->isOpen() || outbox_->count() == 0) {
        if (const std::optional<RecordId> id = trySave(m)) {
            emit saved(m.uid, *id);
            report();
            return;
        }
    }
    if (!outbox_->isOpen() || !outbox_->add(m)) {
        emit lost(m.uid, outbox_->isOpen() ? outbox_->lastError() : reason_);
        return;
    }
    // The send timer tries again; trying at once would only wait on the same lock.
    report();
}

void RecordWriter::updateVehicle(const QString& uid, const VehicleDetails& vehicle) {
    if (outbox_->isOpen() && outbox_->updateVehicle(uid, vehicle)) {
        emit vehicleKept(uid, true, {});
        return;
    }
    // Kept meanwhile: its record takes them.
    if (storeReady()) {
        const std::optional<RecordId> id = store_->idOf(uid);
        if (id && store_->updateVehicle(*id, vehicle)) {
            emit vehicleKept(uid, true, {});
            return;
        }
    }
    emit vehicleKept(uid, false, store_ ? store_->lastError() : reason_);
}

// The oldest first, one by one, each removed once the records hold it; a result the
// records hold already (the removal was cut off last time) is found by its uid.
void RecordWriter::send() {
    if (!outbox_->isOpen()) {
        return;
    }
    for (bool more = true; more;) {
        std::optional<std::vector<Outbox::Waiting>> batch = outbox_->oldest(16);
        if (!batch || batch->empty()) {
            break;
        }
        more = batch->size() == 16;
        for (Outbox::Waiting& w : *batch) {
            if (w.damaged) {
                if (!outbox_->remove(w.seq)) {
                    reason_ = outbox_->lastError();
                    report();
                    return;
                }
                emit lost(w.measurement.uid, QStringLiteral("its samples are damaged"));
                continue;
            }
            const std::optional<RecordId> id = trySave(w.measurement);
            if (!id) {
                report();
                return;
            }
            // Kept: a row that cannot go now is found kept by its uid at the next send.
            const bool removed = outbox_->remove(w.seq);
            emit saved(w.measurement.uid, *id);
            if (!removed) {
                reason_ = outbox_->lastError();
                report();
                return;
            }
        }
    }
    report();
}

void RecordWriter::report() {
    const std::optional<int> count = outbox_->isOpen() ? outbox_->count() : std::optional(0);
    // An outbox that cannot be read now is tried again; what it holds stays told.
    if (!count || *count > 0) {
        if (!sendTimer_->isActive()) {
            sendTimer_->start();
        }
        if (!count) {
            return;
        }
    } else {
        sendTimer_->stop();
    }
    if (*count != reported_) {
        reported_ = *count;
        emit waiting(*count, *count > 0 ? reason_ : QString());
    }
}

} // namespace kr90x::records
