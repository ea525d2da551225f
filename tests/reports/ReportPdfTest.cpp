// The reports as PDF files, read back with poppler's tools rather than our own code.
#include "ReportFixture.h"

#include "reports/TRepRenderPDF.h"
#include "reports/Templates.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace kr90x;
using namespace kr90x::test;

namespace {

// The chart picture's printed size: the template gives its width, and its height follows
// from the chart's own client area on the window, 561 x 369 pixels.
QSizeF chartPictureMm(const reports::ReportTemplate& t) {
    for (const reports::TemplateElement& e : t.elements) {
        if (e.kind == reports::ElementKind::DataPicture) {
            return {e.width, e.width * 369.0 / 561.0};
        }
    }
    ADD_FAILURE() << "no chart picture in the template";
    return {};
}

class ReportPdfTest : public ReportFixture {};

// Liberation Sans's space is 0.278 em (569 of its 2048 units); the cylinder lines are
// set at 12 pt.
constexpr double kSpaceEm = 569.0 / 2048.0;
constexpr double kCylinderPointSize = 12;

// The gap in points between a cylinder line's "n:" and its value, from the words' boxes.
double gapBeforeValue(const QString& file, const QString& value) {
    const QString boxes =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    const QRegularExpression word(
        QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"[^>]*>([^<]*)<"));
    double colonEnd = -1;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(3).endsWith(QLatin1Char(':'))) {
            colonEnd = m.captured(2).toDouble();
        } else if (m.captured(3) == value && colonEnd >= 0) {
            return m.captured(1).toDouble() - colonEnd;
        }
    }
    ADD_FAILURE() << "no value " << value.toStdString();
    return 0;
}

double pdfinfoValue(const QString& info, const QString& key) {
    const QRegularExpression re(QStringLiteral("^%1:\\s+(.*)$").arg(key),
                                QRegularExpression::MultilineOption);
    return re.match(info).captured(1).section(QLatin1Char(' '), 0, 0).toDouble();
}

QString pdfText(const QString& file) {
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), file, QStringLiteral("-")});
}

// pdfimages -list rows: page num type width height color comp bpc enc interp object ID x-ppi
// y-ppi size ratio
struct ImageRow {
    QString enc;
    int width = 0, height = 0;
    double xppi = 0, yppi = 0;
};
std::vector<ImageRow> pdfImages(const QString& file) {
    std::vector<ImageRow> rows;
    const QStringList lines = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() >= 14) {
            rows.push_back({f[8], f[3].toInt(), f[4].toInt(), f[12].toDouble(), f[13].toDouble()});
        }
    }
    return rows;
}

TEST_F(ReportPdfTest, CompressionReportHasTheSixLinesTheChartAndTheRightFile) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    const QString file = reportToPdf(QStringLiteral("compression.pdf"));
    ASSERT_TRUE(QFile::exists(file));

    const QString info = runTool(QStringLiteral("pdfinfo"), {file});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    EXPECT_NEAR(pdfinfoValue(info, QStringLiteral("Page size")), 595.28, 0.1); // A4
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Creator:\\s+Orvo KR90X"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Producer:\\s+Orvo KR90X"))));
    for (const char* absent : {"Title:", "Author:", "Subject:", "Keywords:"}) {
        EXPECT_FALSE(info.contains(QString::fromLatin1(absent))) << absent;
    }

    // Every font a subset of Liberation Sans, embedded, its text mapped back to Unicode.
    const QStringList fonts = runTool(QStringLiteral("pdffonts"), {file})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                  .mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& row : fonts) {
        EXPECT_TRUE(row.contains(QRegularExpression(QStringLiteral(
            "^[A-Z]{6}\\+LiberationSans\\S*\\s+CID TrueType\\s+Identity-H\\s+yes yes yes"))))
            << row.toStdString();
    }

    const QString text = pdfText(file);
    QFile raw(file);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_FALSE(raw.readAll().contains("/FlateDecode"));
    EXPECT_TRUE(text.contains(QStringLiteral("COMPRESSION TEST")));
    for (const char* line :
         {"Cylinder # 1: 12,5 Bar", "Cylinder # 2: 13,0 Bar", "Cylinder # 3:  9,8 Bar",
          "Cylinder # 4: 11,0 Bar", "Cylinder # 5: 12,0 Bar", "Cylinder # 6:  0,0 Bar"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(line).simplified())) << line;
    }
    // pdftotext folds runs of spaces: the padding of "%4.1n" shows as a gap before a value
    // of one digit wider by one space than before one of two.
    EXPECT_NEAR(gapBeforeValue(file, QStringLiteral("9,8")) -
                    gapBeforeValue(file, QStringLiteral("12,5")),
                kSpaceEm * kCylinderPointSize, 0.3);

    // The logo at its own pixels and the chart at 300 dpi of its printed size.
    const QSizeF chartMm = chartPictureMm(reports::compressionTemplate());
    const auto images = pdfImages(file);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].enc, QStringLiteral("jpeg"));
    EXPECT_EQ(images[0].width, 709);
    EXPECT_EQ(images[0].height, 173);
    EXPECT_EQ(images[1].enc, QStringLiteral("jpeg"));
    EXPECT_NEAR(images[1].xppi, 300.0, 1.0);
    EXPECT_NEAR(images[1].yppi, 300.0, 1.0);
    EXPECT_NEAR(images[1].width / 300.0 * reports::kMmPerInch, chartMm.width(), 0.1);
    EXPECT_NEAR(images[1].height / 300.0 * reports::kMmPerInch, chartMm.height(), 0.1);
}

// The names of a workshop in Central Europe print as typed; a letter no font holds is a
// visible "?", told once in the log.
TEST_F(ReportPdfTest, NamesInEveryEuropeanAlphabetPrintAsTyped) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    const QString names = QStringLiteral("\u0141ukasz Gro\u00DFmann \u010Capek");
    const QString more = QStringLiteral("\u0218tefan \u0150ry \u017B\u00F3\u0142\u0107 "
                                        "\u0179dzis\u0142aw \u0394\u03B9\u03BF \u0416\u0443\u043A");
    form->RepProject1->setParam(QStringLiteral("Customer"), QStringLiteral("Customer: ") + names);
    form->RepProject1->setParam(QStringLiteral("Notes"),
                                QStringLiteral("Notes: ") + more + QStringLiteral(" \u4E2D\u4E2D"));
    const QString text = runTool(
        QStringLiteral("pdftotext"),
        {QStringLiteral("-raw"), reportToPdf(QStringLiteral("names.pdf")), QStringLiteral("-")});
    EXPECT_TRUE(text.contains(names)) << text.toStdString();
    EXPECT_TRUE(text.contains(more + QStringLiteral(" ??"))) << text.toStdString();
    EXPECT_EQ(form->log().lines().count(QStringLiteral("PDF: no font holds U+4E2D, printed as ?")),
              1);
    reportToPdf(QStringLiteral("again.pdf"));
    EXPECT_EQ(form->log().lines().filter(QStringLiteral("PDF: no font holds")).size(), 1);
}

TEST_F(ReportPdfTest, PressureReportCarriesTheTitleOfTheCompletedFunction) {
    curveResult(6, 500);
    // The selection moved on without a read: the report still follows the result shown.
    form->RadioGroup1->setItemIndex(3);
    const QString file = reportToPdf(QStringLiteral("oil.pdf"));
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains(QStringLiteral("OIL PRESSURE TEST")));
    EXPECT_FALSE(text.contains(QStringLiteral("Cylinder")));
    const auto images = pdfImages(file);
    ASSERT_EQ(images.size(), 2u);
    const QSizeF chartMm = chartPictureMm(reports::pressureTemplate());
    EXPECT_NEAR(images[1].width / 300.0 * reports::kMmPerInch, chartMm.width(), 0.1);
    EXPECT_NEAR(images[1].height / 300.0 * reports::kMmPerInch, chartMm.height(), 0.1);

    curveResult(2, 10);
    EXPECT_TRUE(pdfText(reportToPdf(QStringLiteral("hp.pdf")))
                    .contains(QStringLiteral("COMMON RAIL HIGH PRESSURE TEST")));
    curveResult(7, 10);
    EXPECT_TRUE(pdfText(reportToPdf(QStringLiteral("low1.pdf")))
                    .contains(QStringLiteral("COMMON RAIL LOW PRESSURE TEST")));
    EXPECT_TRUE(pdfText(reportToPdf(QStringLiteral("low2.pdf")))
                    .contains(QStringLiteral("COMMON RAIL LOW PRESSURE TEST")));
}

TEST_F(ReportPdfTest, TurboFsiTdiAndNoResultMakeNoReport) {
    for (int function : {-1, 3, 4, 5}) {
        curveResult(function, 10);
        form->btnReportClick(form->btnReport);
    }
    EXPECT_TRUE(dialogs.optionRequests.empty());
    EXPECT_TRUE(dialogs.modalTitles.empty());

    // The same click on a petrol compression result does open the report.
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    form->btnReportClick(form->btnReport);
    EXPECT_EQ(dialogs.optionRequests.size(), 1u);
    EXPECT_EQ(dialogs.modalTitles, std::vector<QString>{QStringLiteral("Report Preview")});
}

TEST_F(ReportPdfTest, NeverSetTitlePrintsAnEmptyHeaderOnOnePage) {
    // The pressure project's page as the engine prints it, without the report action.
    form->RepProject2->Open();
    const reports::Page page = form->RepProject2->generatePage();
    form->RepProject2->Close();
    reports::Document doc;
    doc.pages.push_back(page);
    const QString file = path(QStringLiteral("untitled.pdf"));
    ASSERT_TRUE(form->RepRenderPDF1->renderToFile(doc, file));
    const QString text = pdfText(file).trimmed();
    // Only the address block is left as text.
    EXPECT_TRUE(text.startsWith(QStringLiteral("ORVO TEST INSTRUMENTS"))) << text.toStdString();
    EXPECT_TRUE(runTool(QStringLiteral("pdfinfo"), {file})
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
}

TEST_F(ReportPdfTest, SaveToPdfButtonWritesOneEmptyPageIntoTestPdf) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    form->btn3Click(form->btn3);
    QDir::setCurrent(cwd);
    const QString file = path(QStringLiteral("test.pdf"));
    ASSERT_TRUE(QFile::exists(file));
    const QString info = runTool(QStringLiteral("pdfinfo"), {file});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    EXPECT_TRUE(pdfText(file).trimmed().isEmpty());
    EXPECT_TRUE(dialogs.optionRequests.empty()); // no dialog
}

} // namespace
