// The store's connection: a new one after a server restarted, and what other programs and
// PCs changed meanwhile.
#include "records/RecordStore.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>

#include <utility>

namespace kr90x::records {
namespace {

const QString kChannel = QStringLiteral("kr90x_records");
constexpr int kReopenPauseMs = 2000;

} // namespace

template <class F> auto RecordStore::retried(F once, bool again) -> decltype(once()) {
    lost_ = false;
    if (dropped_ && mode_ == Mode::Closed && !reopenDropped()) {
        return decltype(once()){};
    }
    auto result = once();
    if (result || !lost_ || !again) {
        if (lost_) {
            close(); // the next use connects anew
        }
        return result;
    }
    // The server restarted, or the network dropped the connection: every later statement
    // on it would fail too. One new connection, one more try.
    if (!reopenDropped()) {
        return result;
    }
    return once();
}

bool RecordStore::reopenDropped() {
    if (!reopenPause_.hasExpired()) {
        return false; // the fault of the last try stands
    }
    const StoreLocation location = location_;
    if (open(location)) {
        return true;
    }
    reopenPause_.setRemainingTime(kReopenPauseMs);
    return false;
}

std::optional<RecordId> RecordStore::save(const Measurement& m) {
    // Without a uid a save cut off at its commit could not be found again: it is not made
    // a second time on a new connection.
    return retried([&] { return saveOnce(m); }, !m.uid.isEmpty());
}

bool RecordStore::updateVehicle(RecordId id, const VehicleDetails& vehicle) {
    return retried([&] { return updateVehicleOnce(id, vehicle); });
}

std::optional<RecordId> RecordStore::idOf(const QString& uid) {
    return retried([&] { return idOfOnce(uid); });
}

bool RecordStore::remove(std::span<const RecordId> ids) {
    return retried([&] { return removeOnce(ids); });
}

std::optional<int> RecordStore::count(const QStringList& words) {
    return retried([&] { return countOnce(words); });
}

std::optional<std::vector<RecordSummary>> RecordStore::page(const QStringList& words, int offset,
                                                            int limit) {
    return retried([&] { return pageOnce(words, offset, limit); });
}

std::optional<int> RecordStore::position(RecordId id, const QStringList& words) {
    return retried([&] { return positionOnce(id, words); });
}

std::optional<Measurement> RecordStore::load(RecordId id) {
    return retried([&] { return loadOnce(id); });
}

bool RecordStore::tellChange() {
    if (dialect_.engine() != Engine::PostgreSQL) {
        return true; // another program sees the file's version change
    }
    QSqlQuery q(db_);
    return q.exec(QStringLiteral("NOTIFY ") + kChannel) || fail(q.lastError());
}

void RecordStore::watchChanges(std::function<void()> told) {
    watching_ = true;
    told_ = std::move(told);
    subscribe();
}

void RecordStore::subscribe() {
    if (!watching_ || !db_.isOpen()) {
        return;
    }
    if (dialect_.engine() == Engine::SQLite) {
        QSqlQuery q(db_);
        dataVersion_ = q.exec(QStringLiteral("PRAGMA data_version")) && q.next()
                           ? q.value(0).toLongLong()
                           : -1;
        return;
    }
    QSqlDriver* driver = db_.driver();
    QObject::connect(
        driver, &QSqlDriver::notification, driver,
        [this, driver](const QString&, QSqlDriver::NotificationSource source, const QVariant&) {
            if (source != QSqlDriver::SelfSource) {
                changed_ = true;
                if (told_) {
                    // Not from inside the driver's reading of its notices.
                    QTimer::singleShot(0, driver, told_);
                }
            }
        });
    driver->subscribeToNotification(kChannel);
    // What others saved while this connection was away was never told.
    changed_ = true;
}

bool RecordStore::changedElsewhere() {
    if (dialect_.engine() == Engine::PostgreSQL) {
        // A connection that broke while only listening (the server restarted) hears
        // nothing more: a new one, told of as a change, since others may have saved.
        if (dropped_ && (mode_ == Mode::Closed || !db_.isOpen())) {
            if (mode_ != Mode::Closed) {
                close();
            }
            return reopenDropped() && std::exchange(changed_, false);
        }
        return std::exchange(changed_, false);
    }
    if (mode_ == Mode::Closed) {
        return false;
    }
    // Each connection counts the commits of the others; its own do not move it.
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next()) {
        return false;
    }
    const qint64 before = std::exchange(dataVersion_, q.value(0).toLongLong());
    return before != dataVersion_;
}

} // namespace kr90x::records
