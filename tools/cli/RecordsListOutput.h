#pragma once

#include "Arguments.h"
#include "core/NumberFormat.h"
#include "records/RecordStore.h"
#include "records/RecordsModel.h"

#include <QByteArray>

#include <span>

namespace kr90x::cli {

// The records list as the records window shows it, written some rows at a time so that a
// list of 100,000 records is never held whole: its start, the rows as they are read, its
// end. Text and CSV: the window's columns, the record number first; JSON: schema 1.
class RecordsListOutput {
public:
    explicit RecordsListOutput(Format format);

    QByteArray start() const;
    QByteArray rows(std::span<const records::RecordSummary> rows);
    QByteArray end() const;

private:
    QByteArray jsonRow(const records::RecordSummary& r) const;
    QByteArray line(const records::RecordSummary& r) const;

    Format format_;
    FormatSettings numbers_;
    records::RecordsModel model_; // the window's texts of a row
    bool first_ = true;
};

} // namespace kr90x::cli
