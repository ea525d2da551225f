// The records store's reading of the list: every record, or those a search finds, a page
// at a time, newest first; never their samples.
#include "records/RecordColumns.h"
#include "records/RecordRow.h"
#include "records/RecordStore.h"
#include "records/SearchText.h"

#include <QSqlError>
#include <QVariant>

namespace kr90x::records {
namespace {

// The condition and its values for the records holding every word.
struct Where {
    QString condition; // empty: every record
    QStringList values;

    QString clause() const { return condition.isEmpty() ? QString() : " WHERE " + condition; }
    QString andAlso(const QString& more) const {
        return " WHERE " + (condition.isEmpty() ? more : condition + " AND " + more);
    }
    void bind(QSqlQuery& q) const {
        for (const QString& v : values) {
            q.addBindValue(v);
        }
    }
};

Where whereWords(const QStringList& words) {
    Where w;
    QStringList conditions;
    for (const QString& word : words) {
        conditions << QStringLiteral("search_text LIKE ? ESCAPE '\\'");
        w.values << containsPattern(word);
    }
    w.condition = conditions.join(QStringLiteral(" AND "));
    return w;
}

const QString kNewestFirst = QStringLiteral(" ORDER BY measured_at DESC, id DESC");

} // namespace

std::optional<std::vector<RecordSummary>> RecordStore::list() {
    return page({}, 0, std::numeric_limits<int>::max());
}

std::optional<int> RecordStore::countOnce(const QStringList& words) {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    const Where where = whereWords(words);
    QSqlQuery q(db_);
    if (!q.prepare(QStringLiteral("SELECT count(*) FROM records") + where.clause())) {
        fail(q.lastError());
        return std::nullopt;
    }
    where.bind(q);
    if (!q.exec() || !q.next()) {
        fail(q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

std::optional<std::vector<RecordSummary>> RecordStore::pageOnce(const QStringList& words,
                                                                int offset, int limit) {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    const Where where = whereWords(words);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT id, %1 FROM records")
                       .arg(columns::bounded(columns::kMaxListText)) +
                   where.clause() + kNewestFirst +
                   QStringLiteral(" LIMIT %1 OFFSET %2")
                       .arg(std::max(limit, 0))
                       .arg(std::max(offset, 0)))) {
        fail(q.lastError());
        return std::nullopt;
    }
    where.bind(q);
    if (!q.exec()) {
        fail(q.lastError());
        return std::nullopt;
    }
    std::vector<RecordSummary> rows;
    while (q.next()) {
        rows.push_back(summaryAt(q));
    }
    return rows;
}

std::optional<int> RecordStore::positionOnce(RecordId id, const QStringList& words) {
    if (mode_ == Mode::Closed) {
        fail(Fault::CannotOpen, {});
        return std::nullopt;
    }
    const Where where = whereWords(words);
    QSqlQuery found(db_);
    if (!found.prepare(QStringLiteral("SELECT measured_at FROM records") +
                       where.andAlso(QStringLiteral("id = ?")))) {
        fail(found.lastError());
        return std::nullopt;
    }
    where.bind(found);
    found.addBindValue(id);
    if (!found.exec()) {
        fail(found.lastError());
        return std::nullopt;
    }
    if (!found.next()) {
        return -1;
    }
    const qint64 measuredAt = found.value(0).toLongLong();
    found.finish();
    // Newest first: before it come the newer ones, and those of its time with a higher id.
    QSqlQuery q(db_);
    if (!q.prepare(
            QStringLiteral("SELECT count(*) FROM records") +
            where.andAlso(QStringLiteral("(measured_at > ? OR (measured_at = ? AND id > ?))")))) {
        fail(q.lastError());
        return std::nullopt;
    }
    where.bind(q);
    q.addBindValue(measuredAt);
    q.addBindValue(measuredAt);
    q.addBindValue(id);
    if (!q.exec() || !q.next()) {
        fail(q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

// A row of "SELECT id, <the columns a record is read with>".
RecordSummary RecordStore::summaryAt(const QSqlQuery& q) {
    const Measurement m = measurementAt(q, 1);
    RecordSummary r;
    r.id = q.value(0).toLongLong();
    r.measuredAt = m.measuredAt;
    r.function = m.function;
    r.functionName = m.functionName;
    r.unit = m.unit;
    r.decimals = m.decimals;
    r.compression = m.cylinders.has_value();
    if (m.cylinders) {
        const CompressionSpread s = compressionSpread(*m.cylinders);
        r.first = s.lowest;
        r.second = s.highest;
        r.spreadPercent = s.spreadPercent;
    } else {
        r.first = q.value(1 + at(Col::Peak)).toDouble();
        r.second = q.value(1 + at(Col::LastValue)).toDouble();
    }
    r.vehicle = m.vehicle;
    r.virtualTester = m.virtualTester;
    return r;
}

} // namespace kr90x::records
