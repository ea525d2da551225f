#include "ReportPdf.h"

#include "ResultOutput.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "measure/CurveDownload.h"
#include "measure/TestFunctions.h"
#include "reports/PageDescription.h"
#include "reports/RecordReportLines.h"
#include "reports/ReportParams.h"
#include "reports/TRepCustomConnection.h"
#include "reports/TRepRenderPDF.h"
#include "reports/Templates.h"

#include <QPicture>

namespace kr90x::cli {
namespace {

// The window's chart size (both charts share it), which every output is laid out in.
constexpr QSize kChartSize{561, 369};

// The compression chart and its report's cylinder lines, as the window shows a result.
void showCompression(charts::CompressionChart& chart, reports::ReportParams& params,
                     const records::Measurement& m, const FormatSettings& format) {
    const CylinderValues& bar = *m.cylinders;
    chart.Series1.Clear();
    // Cylinder 6 first, so that cylinder 1 ends up on top.
    for (std::size_t n = kCylinders; n >= 1; --n) {
        chart.Series1.AddBar(bar[n - 1], QStringLiteral("Cyl # %1").arg(n));
    }
    const bool petrol = testFunction(m.function)->fuel == Fuel::Petrol;
    chart.setTitle(petrol ? QStringLiteral("Petrol Compression")
                          : QStringLiteral("Diesel Compression"));
    for (std::size_t n = 1; n <= kCylinders; ++n) {
        params.set(QStringLiteral("Cilindro_%1").arg(n),
                   formatText(kCylinderFormat, {static_cast<unsigned>(n), bar[n - 1]}, format));
    }
}

// The curve on its function's scale and title, with its band, as the window shows it.
void showCurve(charts::PressureChart& chart, const TestFunction& f, const Curve& curve) {
    chart.setZoomAnimated(false);
    chart.setLeftAxisMinimum(0);
    chart.setLeftAxisMaximum(f.axisMaximum);
    chart.setTitle(QString::fromLatin1(f.chartTitle));
    chart.Series2.setY(curve.values);
    if (f.band) {
        chart.Series3.setY(std::vector<double>(curve.values.size(), *f.band));
    } else {
        chart.Series3.Clear();
    }
}

} // namespace

CliResult<QByteArray> reportPdf(const records::Measurement& m) {
    const TestFunction* f = testFunction(m.function);
    if (!f || !f->hasReport()) {
        return cliFail(Exit::Usage, QStringLiteral("%1 has no report").arg(m.functionName));
    }
    const FormatSettings format = windowFormat();
    reports::ReportParams params;
    std::unique_ptr<charts::ChartWidget> chart;
    QString column;
    if (f->report == ReportKind::Compression) {
        auto bars = std::make_unique<charts::CompressionChart>(format);
        bars->resize(kChartSize);
        showCompression(*bars, params, m, format);
        chart = std::move(bars);
        column = QStringLiteral("PieChart");
    } else {
        const std::optional<Curve> curve = curveFromValues(m.function, m.samples);
        auto pressure = std::make_unique<charts::PressureChart>(format);
        pressure->resize(kChartSize);
        showCurve(*pressure, *f, *curve);
        chart = std::move(pressure);
        params.set(QStringLiteral("Titulo"), QString::fromLatin1(f->reportTitle));
        column = QStringLiteral("ChartAltaPresion");
    }
    for (const auto& [name, text] : recordReportParams(m, format)) {
        params.set(name, text);
    }
    reports::TRepCustomConnection connection(QStringLiteral("RepCustomConnection"));
    connection.OnGetCols = [&](reports::TRepCustomConnection& c) {
        c.AddColumn(column, reports::FieldType::Graphic, 30, {}, {});
    };
    connection.OnGetRow = [&](reports::TRepCustomConnection& c) {
        QPicture picture;
        chart->writeChartPicture(picture);
        c.WriteColumnValue(reports::encodePicture(picture));
    };
    const reports::ReportTemplate tmpl = f->report == ReportKind::Compression
                                             ? reports::compressionTemplate()
                                             : reports::pressureTemplate();
    reports::Document document;
    document.pages.push_back(reports::printTemplate(tmpl, params, &connection));
    reports::TRepRenderPDF renderer;
    // The renderer's notes say why a PDF failed; a report made is said by nothing but
    // its file, so they go with the failure's one line or nowhere.
    QStringList notes;
    renderer.log = [&notes](const QString& line) { notes << line; };
    QString error;
    QByteArray pdf = renderer.render(document, &error);
    if (pdf.isEmpty()) {
        return cliFail(
            Exit::RecordsOrFile,
            QStringLiteral("the PDF could not be made: ") + error +
                (notes.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(notes.join(u"; "))));
    }
    return pdf;
}

} // namespace kr90x::cli
