#include "RecordsListOutput.h"

#include "ResultOutput.h"
#include "records/CsvExport.h"

#include <QJsonDocument>

namespace kr90x::cli {
namespace {

const QStringList kColumns = {QStringLiteral("Record"),        QStringLiteral("Date"),
                              QStringLiteral("Test function"), QStringLiteral("Plate"),
                              QStringLiteral("Customer"),      QStringLiteral("Tester"),
                              QStringLiteral("Summary")};

} // namespace

RecordsListOutput::RecordsListOutput(Format format)
    : format_(format), numbers_(windowFormat()), model_(numbers_) {}

QByteArray RecordsListOutput::start() const {
    switch (format_) {
    case Format::Json:
        return "{\n    \"records\": [";
    case Format::Csv:
        return kColumns.join(QLatin1Char(';')).toUtf8() + '\n';
    case Format::Text:
        break;
    }
    return kColumns.join(QLatin1Char('\t')).toUtf8() + '\n';
}

QByteArray RecordsListOutput::end() const {
    if (format_ != Format::Json) {
        return {};
    }
    return (first_ ? QByteArray("],\n") : QByteArray("\n    ],\n")) +
           QByteArray("    \"schema\": ") + QByteArray::number(kJsonSchema) + "\n}\n";
}

QByteArray RecordsListOutput::rows(std::span<const records::RecordSummary> rows) {
    QByteArray out;
    for (const records::RecordSummary& r : rows) {
        if (format_ == Format::Json) {
            out += first_ ? "\n        " : ",\n        ";
            out += jsonRow(r);
        } else {
            out += line(r);
        }
        first_ = false;
    }
    return out;
}

QByteArray RecordsListOutput::jsonRow(const records::RecordSummary& r) const {
    QJsonObject o{{QStringLiteral("record"), static_cast<double>(r.id)},
                  {QStringLiteral("measured_at"), utcText(r.measuredAt)},
                  {QStringLiteral("function"), functionJson(r.function, r.functionName)},
                  {QStringLiteral("unit"), r.unit},
                  {QStringLiteral("vehicle"), vehicleJson(r.vehicle)},
                  {QStringLiteral("virtual_tester"), r.virtualTester}};
    if (r.compression) {
        o.insert(QStringLiteral("lowest"), r.first);
        o.insert(QStringLiteral("highest"), r.second);
        o.insert(QStringLiteral("spread_percent"),
                 r.spreadPercent ? QJsonValue(*r.spreadPercent) : QJsonValue());
    } else {
        o.insert(QStringLiteral("peak"), r.first);
        o.insert(QStringLiteral("last"), r.second);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray RecordsListOutput::line(const records::RecordSummary& r) const {
    const bool csv = format_ == Format::Csv;
    // Texts a mechanic typed go out on the row's one line: quoted as the records' CSV
    // quotes them, their line breaks and tabs as spaces in the text form.
    const auto cell = [csv](QString text) {
        if (csv) {
            return records::csvField(text);
        }
        return text.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '))
            .toUtf8();
    };
    return QByteArrayList{
               QByteArray::number(r.id),   records::RecordsModel::dateText(r.measuredAt).toUtf8(),
               cell(r.functionName),       cell(r.vehicle.plate),
               cell(r.vehicle.customer),   records::RecordsModel::testerText(r).toUtf8(),
               cell(model_.summaryText(r))}
               .join(csv ? ';' : '\t') +
           '\n';
}

} // namespace kr90x::cli
