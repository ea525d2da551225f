#pragma once

#include "records/Measurement.h"
#include "records/Schema.h"
#include "records/SqlDialect.h"
#include "records/StoreLocation.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace kr90x::records {

// One line of the records list: what the list shows and searches, without the samples.
struct RecordSummary {
    RecordId id = 0;
    QDateTime measuredAt;
    int function = -1;
    QString functionName;
    QString unit;
    int decimals = 1;
    bool compression = false;
    // Compression: the lowest and highest cylinder. Curve: the peak and the last sample.
    double first = 0;
    double second = 0;
    std::optional<double> spreadPercent; // compression only
    VehicleDetails vehicle;
    bool virtualTester = false;
};

// The workshop records in one database: every completed result, saved in one
// transaction each. All calls run on the thread that opened the store.
class RecordStore {
public:
    enum class Mode { Closed, ReadWrite, ReadOnly };

    explicit RecordStore(Engine engine = Engine::SQLite);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // $XDG_DATA_HOME/orvo-kr90x/records.sqlite, or where the system keeps data instead.
    static QString defaultPath();

    // Opens the database (its folder and file made when missing) and brings its schema up
    // to `targetVersion`. A database of a newer schema is opened read-only and left as it
    // is. False when it cannot be used at all; lastError() says why.
    bool open(const QString& path, int targetVersion = kSchemaVersion);
    // The same for the records the location names: a file, or a server.
    bool open(const StoreLocation& location, int targetVersion = kSchemaVersion);
    void close();
    Mode mode() const { return mode_; }
    bool writable() const { return mode_ == Mode::ReadWrite; }
    // Opened read-only because a newer program wrote it.
    bool newerSchema() const { return newerSchema_; }
    const QString& path() const { return path_; }
    const StoreLocation& location() const { return location_; }

    // From now on, what other programs and PCs write is noticed: changedElsewhere() says
    // whether anything changed since it was last asked (a file: another connection wrote;
    // a server: another PC's save, told by the server, read as the event loop runs).
    // `told` runs when a server tells, from the event loop, never inside a statement: the
    // list need not wait for the next time it asks.
    void watchChanges(std::function<void()> told = {});
    bool changedElsewhere();

    Fault lastFault() const { return fault_; }
    // The last failure in a sentence a mechanic can act on.
    QString lastError() const;

    // The new record's number, or none when it could not be saved. A measurement whose uid
    // is kept already is not kept again: its record's number is the answer.
    std::optional<RecordId> save(const Measurement& m);
    bool updateVehicle(RecordId id, const VehicleDetails& vehicle);
    // The record of the result of that uid, if it is kept.
    std::optional<RecordId> idOf(const QString& uid);
    bool remove(std::span<const RecordId> ids);
    // Every record, newest first.
    std::optional<std::vector<RecordSummary>> list();
    // The records whose search text holds every one of `words` (case-folded; none: every
    // record), newest first: how many, `limit` of them from `offset`, and the place of one
    // among them (-1: not there).
    std::optional<int> count(const QStringList& words);
    std::optional<std::vector<RecordSummary>> page(const QStringList& words, int offset, int limit);
    std::optional<int> position(RecordId id, const QStringList& words);
    // One record whole; none when it is gone or damaged (lastFault() tells which).
    std::optional<Measurement> load(RecordId id);

private:
    // Every public use runs once; when a server's connection broke (it restarted), once
    // more on a new connection. A save cut off at its commit is found by its uid.
    template <class F> auto retried(F once, bool again = true) -> decltype(once());
    // A server away: opened again at the next use, but not before a pause, so that a list
    // asking for each of its cells does not wait for the server each time.
    bool reopenDropped();
    std::optional<RecordId> saveOnce(const Measurement& m);
    bool updateVehicleOnce(RecordId id, const VehicleDetails& vehicle);
    bool writeVehicle(RecordId id, const VehicleDetails& vehicle);
    std::optional<RecordId> idOfOnce(const QString& uid);
    bool removeOnce(std::span<const RecordId> ids);
    std::optional<int> countOnce(const QStringList& words);
    std::optional<std::vector<RecordSummary>> pageOnce(const QStringList& words, int offset,
                                                       int limit);
    std::optional<int> positionOnce(RecordId id, const QStringList& words);
    std::optional<Measurement> loadOnce(RecordId id);
    // Inside a write: tells the PCs watching that the records changed, at the commit.
    bool tellChange();
    void subscribe();
    bool connect(bool readOnly);
    bool openNewer();
    bool beginWrite();
    bool commit();
    void rollback();
    bool checkTables(int& version);
    std::optional<RecordId> insert(const Measurement& m);
    std::optional<std::vector<double>> loadSamples(RecordId id);
    static RecordSummary summaryAt(const QSqlQuery& q);
    bool fail(const QSqlError& error);
    bool fail(Fault fault, const QString& detail);
    bool requireWritable();

    SqlDialect dialect_;
    QString connectionName_;
    QSqlDatabase db_;
    QString path_;
    StoreLocation location_;
    Mode mode_ = Mode::Closed;
    bool newerSchema_ = false;
    Fault fault_ = Fault::None;
    QString detail_;
    bool lost_ = false;     // the last failure came from a broken connection
    bool dropped_ = false;  // a server's: when closed by a failure, opened at the next use
    bool watching_ = false; // watchChanges() was asked for
    std::function<void()> told_;
    bool changed_ = false; // a server told of a change, not asked about yet
    qint64 dataVersion_ = -1;
    QDeadlineTimer reopenPause_; // no new try of a server away before it expires
};

} // namespace kr90x::records
