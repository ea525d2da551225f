// The window's report components: what each report's data connection hands over, and
// which report the Report button runs.
#include "app/TForm1.h"

#include "app/WorkshopRecords.h"

#include "charts/ChartWidget.h"
#include "measure/TestFunctions.h"
#include "reports/TRepCustomConnection.h"
#include "reports/TRepProject.h"
#include "reports/TRepRenderPDF.h"
#include "reports/TRepSystem.h"

#include <QPicture>

#include <stdexcept>

namespace kr90x {

// The report components, in the window's component order (Timer1 sits among them).
void TForm1::connectReportComponents() {
    using namespace reports;
    RepSystem1->pdfRenderer = RepRenderPDF1.get();
    RepCustomConnection1->OnGetCols = [this](TRepCustomConnection& c) {
        RepCustomConnection1GetCols(c);
    };
    RepCustomConnection1->OnGetRow = [this](TRepCustomConnection& c) {
        RepCustomConnection1GetRow(c);
    };
    RepCustomConnection2->OnGetCols = [this](TRepCustomConnection& c) {
        RepCustomConnection2GetCols(c);
    };
    RepCustomConnection2->OnGetRow = [this](TRepCustomConnection& c) {
        RepCustomConnection2GetRow(c);
    };
    RepProject2->setConnection(RepCustomConnection2.get());
    RepProject1->setConnection(RepCustomConnection1.get());
}

// The report of the result on screen: the function whose result was completed last,
// not whatever the radio group shows now (a changed selection without a read would
// otherwise print one curve under another function's title).
void TForm1::btnReportClick(QObject*) {
    const TestFunction* f = testFunction(state_.CompletedFunction);
    if (!f || f->report == ReportKind::None) { // none yet, or turbo, FSI, TDI
        return;
    }
    RepSystem1->saveName = records_->reportFileName();
    if (f->report == ReportKind::Compression) {
        RepProject1->Run();
        return;
    }
    RepProject2->setParam(QStringLiteral("Titulo"), QString::fromLatin1(f->reportTitle));
    RepProject2->Run();
}

void TForm1::btn3Click(QObject*) {
    QString error;
    if (!RepRenderPDF1->renderToFile(reports::TRepSystem::emptyDocument(),
                                     QStringLiteral("test.pdf"), &error)) {
        throw std::runtime_error(error.toStdString());
    }
}

void TForm1::RepCustomConnection1GetCols(reports::TRepCustomConnection& Connection) {
    Connection.AddColumn(QStringLiteral("PieChart"), reports::FieldType::Graphic, 30, {}, {});
}

void TForm1::RepCustomConnection1GetRow(reports::TRepCustomConnection& Connection) {
    WriteChartPicture(Connection, *chart1);
}

void TForm1::RepCustomConnection2GetCols(reports::TRepCustomConnection& Connection) {
    Connection.AddColumn(QStringLiteral("ChartAltaPresion"), reports::FieldType::Graphic, 30, {},
                         {});
}

void TForm1::RepCustomConnection2GetRow(reports::TRepCustomConnection& Connection) {
    WriteChartPicture(Connection, *Chart2);
}

// The chart as it is now, visible or not, as a vector picture of its client rectangle.
void TForm1::WriteChartPicture(reports::TRepCustomConnection& Connection,
                               const charts::ChartWidget& chart) {
    QPicture picture;
    chart.writeChartPicture(picture);
    Connection.WriteColumnValue(reports::encodePicture(picture));
}

} // namespace kr90x
