#include "reports/TRepCustomConnection.h"

namespace kr90x::reports {

void TRepCustomConnection::AddColumn(const QString& name, FieldType type, int width,
                                     const QString& fullName, const QString& description) {
    columns_.push_back({name, type, width, fullName, description});
}

void TRepCustomConnection::WriteColumnValue(const QByteArray& value) {
    if (currentColumn_ < static_cast<int>(values_.size())) {
        values_[currentColumn_] = value;
        ++currentColumn_;
    }
}

void TRepCustomConnection::Open() {
    columns_.clear();
    if (OnGetCols) {
        OnGetCols(*this);
    }
    values_.assign(columns_.size(), QByteArray());
    rowCount_ = 1;
    rowIndex_ = 0;
}

void TRepCustomConnection::ReadRow() {
    values_.assign(columns_.size(), QByteArray());
    currentColumn_ = 0;
    if (!Eof() && OnGetRow) {
        OnGetRow(*this);
    }
}

QByteArray TRepCustomConnection::value(const QString& column) const {
    for (std::size_t i = 0; i < columns_.size() && i < values_.size(); ++i) {
        if (columns_[i].name.compare(column, Qt::CaseInsensitive) == 0) {
            return values_[i];
        }
    }
    return {};
}

void TRepCustomConnection::Close() {
    values_.clear();
    rowCount_ = 0;
    rowIndex_ = 0;
}

} // namespace kr90x::reports
