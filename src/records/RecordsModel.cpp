#include "records/RecordsModel.h"

#include "records/SearchText.h"

#include <algorithm>

namespace kr90x::records {

RecordsModel::RecordsModel(const FormatSettings& format, QObject* parent)
    : QAbstractTableModel(parent), format_(format) {}

QString RecordsModel::dateText(const QDateTime& utc) {
    return recordDateText(utc);
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

bool RecordsModel::setStore(RecordStore* store) {
    store_ = store;
    return refresh();
}

bool RecordsModel::refresh() {
    beginResetModel();
    const bool ok = recount();
    endResetModel();
    return ok;
}

bool RecordsModel::setFilter(const QString& text) {
    if (text == filter_) {
        return true;
    }
    filter_ = text;
    words_ = searchWords(text);
    return refresh();
}

bool RecordsModel::recount() {
    pages_.clear();
    recent_.clear();
    count_ = total_ = 0;
    if (!store_) {
        return true;
    }
    const std::optional<int> total = store_->count({});
    const std::optional<int> shown = words_.isEmpty() ? total : store_->count(words_);
    if (!total || !shown) {
        return false;
    }
    total_ = *total;
    count_ = *shown;
    return true;
}

const RecordSummary* RecordsModel::row(int row) const {
    if (!store_ || row < 0 || row >= count_) {
        return nullptr;
    }
    const int page = row / kPageRows;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        std::optional<std::vector<RecordSummary>> rows =
            store_->page(words_, page * kPageRows, kPageRows);
        if (!rows) {
            return nullptr;
        }
        if (pages_.size() >= kKeptPages) {
            pages_.erase(recent_.back());
            recent_.pop_back();
        }
        found = pages_.emplace(page, std::move(*rows)).first;
    } else {
        recent_.remove(page);
    }
    recent_.push_front(page);
    const std::size_t at = static_cast<std::size_t>(row % kPageRows);
    return at < found->second.size() ? &found->second[at] : nullptr;
}

RecordSummary RecordsModel::record(int r) const {
    const RecordSummary* found = row(r);
    return found ? *found : RecordSummary{};
}

int RecordsModel::rowOf(RecordId id) const {
    if (!store_) {
        return -1;
    }
    const int at = store_->position(id, words_).value_or(-1);
    return at < count_ ? at : -1;
}

int RecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const RecordSummary* found = row(index.row());
    if (!found) {
        return {};
    }
    const RecordSummary& r = *found;
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
                                                   "Customer", "Tester",        "Summary"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

} // namespace kr90x::records
