#pragma once

#include "core/NumberFormat.h"
#include "records/RecordStore.h"

#include <QAbstractTableModel>

#include <vector>

namespace kr90x::records {

// The records list: every record, newest first, as the records window shows it, and the
// search that narrows it as the user types.
class RecordsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Date, Function, Plate, Customer, Summary, Tester, ColumnCount };

    // `format` is the owner's and is read at every call, like the charts do.
    explicit RecordsModel(const FormatSettings& format, QObject* parent = nullptr);

    void setRecords(std::vector<RecordSummary> records);
    // Shows only the records that hold every word of `text` (in any letter case) in their
    // date, test function or vehicle details.
    void setFilter(const QString& text);
    const QString& filter() const { return filter_; }

    // The record shown in `row`.
    const RecordSummary& record(int row) const;
    // The row showing record `id`, or -1.
    int rowOf(RecordId id) const;
    int totalCount() const { return static_cast<int>(records_.size()); }

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
    void applyFilter();

    const FormatSettings& format_;
    std::vector<RecordSummary> records_;
    std::vector<QString> haystacks_; // per record: what the search looks through
    std::vector<int> shown_;         // indexes into records_
    QString filter_;
};

} // namespace kr90x::records
