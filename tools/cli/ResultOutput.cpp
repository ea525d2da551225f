#include "ResultOutput.h"

#include "measure/TestFunctions.h"
#include "records/CsvExport.h"
#include "records/RecordColumns.h"
#include "records/RecordsModel.h"
#include "reports/RecordReportLines.h"
#include "reports/Templates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <charconv>
#include <cmath>
#include <span>

namespace kr90x::cli {
namespace {

// The names scripts read the vehicle details by, as --vehicle takes them.
constexpr std::array<std::pair<const char*, QString records::VehicleDetails::*>, 7> kVehicleJson{{
    {"plate", &records::VehicleDetails::plate},
    {"vin", &records::VehicleDetails::vin},
    {"make_model", &records::VehicleDetails::makeModel},
    {"odometer", &records::VehicleDetails::odometer},
    {"customer", &records::VehicleDetails::customer},
    {"technician", &records::VehicleDetails::technician},
    {"notes", &records::VehicleDetails::notes},
}};
static_assert(kVehicleJson.size() == records::kVehicleFields.size());

QByteArray json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

// Adds a field of numbers as the last one of an indented object. A curve holds up to
// 99,998 of them: through QJsonArray they took half a second, as the shortest text that
// reads back the same double (std::to_chars) they take a few milliseconds.
void appendNumbers(QByteArray& object, const char* key, std::span<const double> numbers) {
    const qsizetype close = object.lastIndexOf('}');
    object.truncate(close);
    while (object.endsWith('\n') || object.endsWith(' ')) {
        object.chop(1);
    }
    object += object.endsWith('{') ? "\n    \"" : ",\n    \"";
    object += key;
    object += "\": [";
    std::array<char, 32> buffer;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        object += i == 0 ? "\n        " : ",\n        ";
        // JSON has no infinity and no NaN: a value that is no number is null, as Qt writes it.
        if (!std::isfinite(numbers[i])) {
            object += "null";
            continue;
        }
        const std::to_chars_result r =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), numbers[i]);
        object.append(buffer.data(), r.ptr - buffer.data());
    }
    object += numbers.empty() ? "]\n}\n" : "\n    ]\n}\n";
}

QByteArray resultJson(const records::Measurement& m, const Keeping& keeping) {
    const TestFunction* f = testFunction(m.function);
    QJsonObject o{
        {QStringLiteral("schema"), kJsonSchema},
        {QStringLiteral("function"), functionJson(m.function, m.functionName)},
        {QStringLiteral("unit"), m.unit},
        // Values are as the window shows them: the tester's whole numbers divided
        // by the divisor, carrying that many decimals.
        {QStringLiteral("scale"), QJsonObject{{QStringLiteral("divisor"), f ? f->divisor : 1.0},
                                              {QStringLiteral("decimals"), m.decimals}}},
        {QStringLiteral("firmware"), m.firmwareVersion},
        {QStringLiteral("program_version"), m.programVersion},
        {QStringLiteral("measured_at"), utcText(m.measuredAt)},
        {QStringLiteral("virtual_tester"), m.virtualTester},
        {QStringLiteral("vehicle"), vehicleJson(m.vehicle)},
        {QStringLiteral("uid"), m.uid}};
    o.insert(QStringLiteral("record"),
             keeping.id ? QJsonValue(static_cast<double>(*keeping.id)) : QJsonValue());
    static constexpr const char* kStates[] = {"kept", "waiting", "not-kept"};
    o.insert(QStringLiteral("kept"), QString::fromLatin1(kStates[static_cast<int>(keeping.state)]));
    QByteArray text = json(o);
    if (m.cylinders) {
        appendNumbers(text, "values", *m.cylinders);
    } else {
        appendNumbers(text, "samples", m.samples);
    }
    return text;
}

QByteArray resultText(const records::Measurement& m, const Keeping& keeping) {
    const FormatSettings format = windowFormat();
    QStringList lines;
    const TestFunction* f = testFunction(m.function);
    if (m.cylinders) {
        lines << m.functionName;
        for (std::size_t n = 1; n <= kCylinders; ++n) {
            lines << formatText(kCylinderFormat, {static_cast<unsigned>(n), (*m.cylinders)[n - 1]},
                                format);
        }
        lines << spreadLine(*m.cylinders, format);
    } else {
        lines << (f && f->chartTitle ? QString::fromLatin1(f->chartTitle) : m.functionName);
        const QString value = QStringLiteral("%.%1n").arg(m.decimals);
        const records::CurveFigures figures = records::curveFigures(m.samples);
        lines << QStringLiteral("Samples: %1").arg(m.samples.size());
        if (!m.samples.empty()) {
            lines << QStringLiteral("Peak %1, last %2")
                         .arg(formatText(value, {figures.peak}, format) + QLatin1Char(' ') + m.unit,
                              formatText(value, {figures.last}, format) + QLatin1Char(' ') +
                                  m.unit);
        }
        for (std::size_t i = 0; i < m.samples.size(); ++i) {
            lines << formatText(u"%6u  ", {i + 1}, format) +
                         formatText(value, {m.samples[i]}, format);
        }
    }
    // The report's lines of the record, the spread given above already.
    for (const auto& [name, text] : recordReportParams(m, format)) {
        if (!text.isEmpty() && name != QLatin1String(reports::kSpreadParam)) {
            lines << text;
        }
    }
    lines << QStringLiteral("Firmware: %1").arg(m.firmwareVersion);
    if (keeping.id) {
        lines << QStringLiteral("Record: %1").arg(*keeping.id);
    } else if (keeping.state == Keeping::State::Waiting) {
        lines << (keeping.server
                      ? QStringLiteral("Record: waiting on this PC for the records server")
                      : QStringLiteral("Record: waiting beside the workshop records"));
    }
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

} // namespace

QJsonObject functionJson(int function, const QString& label) {
    const TestFunction* f = testFunction(function);
    return QJsonObject{{QStringLiteral("number"), function},
                       {QStringLiteral("name"), f ? QString::fromLatin1(f->name) : QString()},
                       {QStringLiteral("label"), label}};
}

QJsonObject vehicleJson(const records::VehicleDetails& v) {
    QJsonObject o;
    for (const auto& [key, member] : kVehicleJson) {
        o.insert(QString::fromLatin1(key), v.*member);
    }
    return o;
}

QString utcText(const QDateTime& t) {
    return t.toUTC().toString(Qt::ISODateWithMs);
}

FormatSettings windowFormat() {
    FormatSettings format = FormatSettings::fromSystem();
    format.DecimalSeparator = QLatin1Char(',');
    return format;
}

QByteArray resultOutput(const records::Measurement& m, const Keeping& keeping, Format format) {
    switch (format) {
    case Format::Json:
        return resultJson(m, keeping);
    case Format::Csv:
        return records::recordsCsv({&m, 1}, windowFormat().DecimalSeparator);
    case Format::Text:
        break;
    }
    return resultText(m, keeping);
}

} // namespace kr90x::cli
