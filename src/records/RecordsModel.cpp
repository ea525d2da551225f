#include "records/RecordsModel.h"

#include <algorithm>

namespace kr90x::records {

RecordsModel::RecordsModel(const FormatSettings& format, QObject* parent)
    : QAbstractTableModel(parent), format_(format) {}

QString RecordsModel::dateText(const QDateTime& utc) {
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString RecordsModel::testerText(const RecordSummary& r) {
    // A real tester is the rule; only the exception is written out.
    return r.virtualTester ? QStringLiteral("Virtual") : QString();
}

QString RecordsModel::summaryText(const RecordSummary& r) const {
    const QString pattern = QStringLiteral("%.%1f").arg(r.decimals);
    const auto value = [&](double v) {
        return formatText(pattern, {v}, format_) + QLatin1Char(' ') + r.unit;
    };
    if (!r.compression) {
        return QStringLiteral("Peak %1, last %2").arg(value(r.first), value(r.second));
    }
    const QString spread =
        r.spreadPercent ? formatText(u"%.1f %%", {*r.spreadPercent}, format_) : QStringLiteral("-");
    return QStringLiteral("Lowest %1, highest %2, spread %3")
        .arg(value(r.first), value(r.second), spread);
}

void RecordsModel::setRecords(std::vector<RecordSummary> records) {
    beginResetModel();
    records_ = std::move(records);
    haystacks_.clear();
    haystacks_.reserve(records_.size());
    for (const RecordSummary& r : records_) {
        const VehicleDetails& v = r.vehicle;
        haystacks_.push_back(QStringList{dateText(r.measuredAt), r.functionName, v.plate, v.vin,
                                         v.makeModel, v.odometer, v.customer, v.technician, v.notes,
                                         testerText(r)}
                                 .join(QLatin1Char('\n'))
                                 .toCaseFolded());
    }
    applyFilter();
    endResetModel();
}

void RecordsModel::setFilter(const QString& text) {
    if (text == filter_) {
        return;
    }
    beginResetModel();
    filter_ = text;
    applyFilter();
    endResetModel();
}

void RecordsModel::applyFilter() {
    const QStringList words = filter_.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    shown_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const QString& haystack = haystacks_[i];
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString& w) { return haystack.contains(w); })) {
            shown_.push_back(static_cast<int>(i));
        }
    }
}

const RecordSummary& RecordsModel::record(int row) const {
    return records_[static_cast<std::size_t>(shown_.at(static_cast<std::size_t>(row)))];
}

int RecordsModel::rowOf(RecordId id) const {
    for (std::size_t row = 0; row < shown_.size(); ++row) {
        if (records_[static_cast<std::size_t>(shown_[row])].id == id) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

int RecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const RecordSummary& r = record(index.row());
    switch (index.column()) {
    case Date:
        return dateText(r.measuredAt);
    case Function:
        return r.functionName;
    case Plate:
        return r.vehicle.plate;
    case Customer:
        return r.vehicle.customer;
    case Summary:
        return summaryText(r);
    case Tester:
        return testerText(r);
    default:
        return {};
    }
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    static const char* const names[ColumnCount] = {"Date",     "Test function", "Plate",
                                                   "Customer", "Summary",       "Tester"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

} // namespace kr90x::records
