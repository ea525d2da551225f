// kr90x beside the window itself, both reading the same simulated tester: the values the
// window shows are the values kr90x writes, and its report is the window's report, text
// and pictures alike.
#include "CliRun.h"
#include "app/Application.h"
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "app/WorkshopRecords.h"
#include "charts/PressureChart.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "measure/TestFunctions.h"
#include "reports/TRepProject.h"
#include "reports/TRepRenderPDF.h"
#include "simulator/VirtualTester.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

using namespace kr90x;
using namespace kr90x::test;

namespace {

class CliWindowTest : public CliTest {
protected:
    AppState state;
    RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::shared_ptr<VirtualTester> tester = VirtualTester::create(); // answers at once
    std::unique_ptr<TForm1> form;

    void SetUp() override {
        // The window's face and separators, as its program sets them up.
        setUpApplication();
        state.Format = FormatSettings::fromSystem();
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        form->records().setVirtualTester(true);
        form->show();
        hid.plug(tester->device());
        ASSERT_TRUE(waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));
    }
    void TearDown() override { form.reset(); }

    // Read data for a function in the window, until its chart shows the result.
    void readInWindow(const TestFunction& f) {
        form->btnHomeClick(nullptr);
        form->RadioGroup1->setItemIndex(f.index);
        form->btnReaddata->click();
        QWidget* chart =
            f.isCurve() ? static_cast<QWidget*>(form->Chart2) : static_cast<QWidget*>(form->chart1);
        ASSERT_TRUE(waitFor(
            [&] { return chart->isVisible() && state.CompletedFunction == f.index; }, 30000));
    }
    std::vector<double> shownInWindow(const TestFunction& f) const {
        if (f.isCurve()) {
            return form->Chart2->Series2.Y;
        }
        const CylinderValues& bar =
            *f.fuel == Fuel::Petrol ? state.PetrolValues : state.DieselValues;
        return {bar.begin(), bar.end()};
    }
    // What the Report button makes of the result on screen, as the PDF Save As writes.
    void windowPdf(const TestFunction& f, const QString& file) {
        reports::TRepProject& project =
            f.report == ReportKind::Compression ? *form->RepProject1 : *form->RepProject2;
        if (f.reportTitle) {
            project.setParam(QStringLiteral("Titulo"), QString::fromLatin1(f.reportTitle));
        }
        project.Open();
        reports::Document document;
        document.pages.push_back(project.generatePage());
        project.Close();
        QString error;
        ASSERT_TRUE(form->RepRenderPDF1->renderToFile(document, file, &error))
            << error.toStdString();
    }
    static QByteArray tool(const QString& program, const QStringList& arguments) {
        QProcess p;
        p.start(program, arguments);
        EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0) << program.toStdString();
        return p.readAllStandardOutput();
    }
    // The page's text, but for the time of the measurement: the two reads were not at
    // the same moment.
    static QString pageText(const QString& pdf) {
        QStringList lines =
            QString::fromUtf8(tool(QStringLiteral("pdftotext"),
                                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")}))
                .split(QLatin1Char('\n'));
        for (QString& line : lines) {
            if (line.contains(QStringLiteral("Measured: "))) {
                line = line.left(line.indexOf(QStringLiteral("Measured: "))) +
                       QStringLiteral("Measured: (time)");
            }
        }
        return lines.join(QLatin1Char('\n'));
    }
    // The page's pictures (the logo, the chart), each as PNG bytes.
    QList<QByteArray> pictures(const QString& pdf) const {
        const QString prefix = pdf + QStringLiteral("-picture");
        tool(QStringLiteral("pdfimages"), {QStringLiteral("-png"), pdf, prefix});
        QList<QByteArray> all;
        const QFileInfo info(prefix);
        for (const QString& name :
             QDir(info.path())
                 .entryList({info.fileName() + QStringLiteral("*")}, QDir::Files, QDir::Name)) {
            QFile file(info.dir().filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            all << file.readAll();
        }
        return all;
    }
};

TEST_F(CliWindowTest, EveryFunctionsValuesAreThoseTheWindowShows) {
    for (const TestFunction& f : testFunctions()) {
        SCOPED_TRACE(f.name);
        readInWindow(f);
        const CliRun run = kr90x({QStringLiteral("read"), QString::fromLatin1(f.name), kTester,
                                  QStringLiteral("--format=json"), QStringLiteral("--no-record")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList lines = python(
            run.out,
            QStringLiteral(
                "for x in d['values'] if 'values' in d else d['samples']: print(repr(float(x)))"));
        const std::vector<double> window = shownInWindow(f);
        ASSERT_EQ(static_cast<std::size_t>(lines.size()), window.size());
        for (std::size_t i = 0; i < window.size(); ++i) {
            ASSERT_EQ(lines[static_cast<qsizetype>(i)].toDouble(), window[i]) << "value " << i;
        }
    }
}

TEST_F(CliWindowTest, EveryReportIsTheWindowsInTextAndPictures) {
    for (const TestFunction& f : testFunctions()) {
        if (!f.hasReport()) {
            continue;
        }
        SCOPED_TRACE(f.name);
        readInWindow(f);
        const QString window =
            home.filePath(QStringLiteral("window-%1.pdf").arg(QString::fromLatin1(f.name)));
        windowPdf(f, window);
        const QString cli =
            home.filePath(QStringLiteral("kr90x-%1.pdf").arg(QString::fromLatin1(f.name)));
        const CliRun run = kr90x({QStringLiteral("report"), QString::fromLatin1(f.name), kTester,
                                  QStringLiteral("--pdf"), cli, QStringLiteral("--no-record")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(pageText(cli), pageText(window));
        const QList<QByteArray> ours = pictures(cli);
        EXPECT_EQ(ours.size(), 2); // the logo and the chart
        EXPECT_TRUE(ours == pictures(window)) << "the pictures differ";
    }
}

} // namespace
