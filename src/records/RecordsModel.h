#pragma once

#include "core/NumberFormat.h"
#include "records/RecordStore.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <list>
#include <map>
#include <vector>

namespace kr90x::records {

// The records list as the records window shows it: newest first, narrowed by the search
// as the user types. It holds no list of its own: it counts in the store, and reads the
// rows a page at a time as the view shows them, keeping a few pages.
class RecordsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The summary last: it takes the width that is left.
    enum Column { Date, Function, Plate, Customer, Tester, Summary, ColumnCount };
    static constexpr int kPageRows = 128;
    static constexpr std::size_t kKeptPages = 16;

    // `format` is the owner's and is read at every call, like the charts do.
    explicit RecordsModel(const FormatSettings& format, QObject* parent = nullptr);

    // Where the rows come from (the caller's, outliving this); none: an empty list. Lists
    // them from the start; false as refresh().
    bool setStore(RecordStore* store);
    // Counts again and forgets what it read: after a save, a change or a delete. False
    // when the store could not be read (its lastError() says why); the list is empty then.
    bool refresh();
    // Shows only the records that hold every word of `text` (in any letter case) in their
    // date, test function, vehicle details or "virtual".
    bool setFilter(const QString& text);
    const QString& filter() const { return filter_; }

    // The record shown in `row`; an empty one (id 0) when it cannot be read.
    RecordSummary record(int row) const;
    // The row showing record `id`, or -1.
    int rowOf(RecordId id) const;
    int totalCount() const { return total_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The texts a row shows.
    static QString dateText(const QDateTime& utc);
    QString summaryText(const RecordSummary& r) const;
    // "Virtual" for a result of the virtual tester.
    static QString testerText(const RecordSummary& r);

private:
    bool recount();
    const RecordSummary* row(int row) const;

    const FormatSettings& format_;
    RecordStore* store_ = nullptr;
    QString filter_;
    QStringList words_;
    int count_ = 0;                                           // rows shown
    int total_ = 0;                                           // records there are
    mutable std::map<int, std::vector<RecordSummary>> pages_; // by page number
    mutable std::list<int> recent_;                           // page numbers, last used first
};

} // namespace kr90x::records
