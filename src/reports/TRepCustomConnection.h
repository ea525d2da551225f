#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace kr90x::reports {

enum class FieldType { Graphic };

struct ConnectionColumn {
    QString name;
    FieldType type = FieldType::Graphic;
    int width = 0;
    QString fullName;
    QString description;
};

// A data source of named columns and rows that a report reads while it runs. The
// program's handlers declare the columns and fill the current row; the navigation is
// the engine's own: one row, read once.
class TRepCustomConnection {
public:
    explicit TRepCustomConnection(QString name) : name_(std::move(name)) {}

    std::function<void(TRepCustomConnection&)> OnGetCols;
    std::function<void(TRepCustomConnection&)> OnGetRow;

    // For the handlers.
    void AddColumn(const QString& name, FieldType type, int width, const QString& fullName,
                   const QString& description);
    // Sets the value of the current column of the row being read.
    void WriteColumnValue(const QByteArray& value);

    // For the engine.
    void Open();
    void First() { rowIndex_ = 0; }
    void Next() { ++rowIndex_; }
    bool Eof() const { return rowIndex_ >= rowCount_; }
    // Reads the current row: every column's value, as the row handler wrote it.
    void ReadRow();
    QByteArray value(const QString& column) const;
    void Close();

    const QString& name() const { return name_; }
    const std::vector<ConnectionColumn>& columns() const { return columns_; }
    int rowCount() const { return rowCount_; }
    int rowIndex() const { return rowIndex_; }

private:
    QString name_;
    std::vector<ConnectionColumn> columns_;
    std::vector<QByteArray> values_;
    int currentColumn_ = 0;
    int rowCount_ = 0;
    int rowIndex_ = 0;
};

} // namespace kr90x::reports
