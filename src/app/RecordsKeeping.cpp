// The window's side of keeping results the records could not take at once: what goes to
// the background keeper, and what the window shows and logs of it.
#include "app/RecordsWindow.h"
#include "app/WorkshopRecords.h"
#include "core/Log.h"
#include "reports/ReportDialogs.h"

namespace kr90x {

// The keeper tries again off the window's thread, and keeps what still cannot be written
// in the outbox: the result is not lost, and the window does not wait.
void WorkshopRecords::handOver(Current& c) {
    c.handedOver = true;
    keeper_->save(c.measurement);
}

void WorkshopRecords::connectKeeper() {
    connect(keeper_.get(), &records::BackgroundKeeper::saved, this,
            [this](const QString& uid, qint64 id) { keptLater(uid, id); });
    connect(keeper_.get(), &records::BackgroundKeeper::waitingChanged, this,
            [this](int count, const QString& reason) { waitingChanged(count, reason); });
    connect(keeper_.get(), &records::BackgroundKeeper::lost, this,
            [this](const QString&, const QString& reason) {
                if (!std::exchange(failing_, true)) {
                    parts_.dialogs.information(
                        QStringLiteral("The measurement is shown, but it could not be kept in "
                                       "the workshop records: %1.\nThe program goes on without "
                                       "it.")
                            .arg(reason));
                }
            });
    connect(keeper_.get(), &records::BackgroundKeeper::vehicleKept, this,
            [this](const QString&, bool ok, const QString& reason) {
                if (!ok) {
                    parts_.dialogs.information(
                        QStringLiteral("The vehicle details are on the report, but they could "
                                       "not be kept in the workshop records: %1.")
                            .arg(reason));
                }
            });
}

void WorkshopRecords::keptLater(const QString& uid, records::RecordId id) {
    if (current_ && current_->measurement.uid == uid) {
        current_->id = id;
        current_->handedOver = false;
    }
    failing_ = false;
    refreshWindow();
}

// One log line when results start to wait and one when none waits any more, never one per
// result: the records window shows how many wait.
void WorkshopRecords::waitingChanged(int count, const QString& reason) {
    if (count > 0 && !waitingLogged_) {
        waitingLogged_ = true;
        parts_.log.add(QStringLiteral("Workshop records: results wait in the outbox (%1)")
                           .arg(reason.isEmpty() ? QStringLiteral("not written yet") : reason));
    } else if (count == 0 && waitingLogged_) {
        waitingLogged_ = false;
        parts_.log.add(QStringLiteral("Workshop records: every waiting result is kept"));
    }
    if (window_) {
        window_->setWaiting(count);
    }
}

} // namespace kr90x
