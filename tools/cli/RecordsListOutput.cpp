#include "RecordsListOutput.h"

#include "ResultOutput.h"

#include <QJsonDocument>

namespace kr90x::cli {
namespace {

const QStringList kColumns = {QStringLiteral("Record"),        QStringLiteral("Date"),
                              QStringLiteral("Test function"), QStringLiteral("Plate"),
                              QStringLiteral("Customer"),      QStringLiteral("Tester"),
                              QStringLiteral("Summary")};

// As a spreadsheet must not take it for a formula, as the records' CSV writes it.
QString csvText(const QString& text) {
    QString t = text;
    if (!t.isEmpty() && QStringLiteral("=+-@\t\r").contains(t.front())) {
        t.prepend(QLatin1Char('\''));
    }
    if (t.contains(QLatin1Char(';')) || t.contains(QLatin1Char('"')) ||
        t.contains(QLatin1Char('\n'))) {
        t = QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
            QLatin1Char('"');
    }
    return t;
}

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
    // Texts a mechanic typed go out on the row's one line: quoted in CSV, their line
    // breaks and tabs as spaces in the text form.
    const auto cell = [csv](QString text) {
        if (csv) {
            return csvText(text);
        }
        return text.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
    };
    return QStringList{QString::number(r.id),      records::RecordsModel::dateText(r.measuredAt),
                       cell(r.functionName),       cell(r.vehicle.plate),
                       cell(r.vehicle.customer),   records::RecordsModel::testerText(r),
                       cell(model_.summaryText(r))}
               .join(csv ? QLatin1Char(';') : QLatin1Char('\t'))
               .toUtf8() +
           '\n';
}

} // namespace kr90x::cli
