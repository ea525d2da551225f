// The printer setup of "Output Options", and the printed page beside the PDF's.
#include "PrintFixture.h"

#include "reports/PrinterSetupDialog.h"
#include "reports/TRepRenderPDF.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPainter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSpinBox>

using namespace kr90x;
using namespace kr90x::reports;
using namespace kr90x::test;

namespace {

class PrintSetupTest : public PrintFixture {
protected:
    // "Output Options" as a user answers it who presses Setup, then OK with Printer.
    void printAfterSetup() {
        dialogs.answerOptions = [](const OutputOptionsRequest& r) {
            EXPECT_TRUE(static_cast<bool>(r.setupPrinter));
            const PrinterChoice chosen =
                r.setupPrinter({r.printerText, r.copies, r.collate, r.duplex});
            OutputOptionsAnswer a;
            a.accepted = true;
            a.destination = ReportDestination::Printer;
            a.copiesText = QString::number(chosen.copies);
            a.collate = chosen.collate;
            a.duplex = chosen.duplex;
            return a;
        };
        compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
        form->btnReportClick(form->btnReport);
    }
};

// How many dark pixels across, from `x`, the row `y` of a grey page holds.
int darkRun(const QImage& page, int x, int y) {
    while (x < page.width() && qGray(page.pixel(x, y)) >= 128) {
        ++x;
    }
    int n = 0;
    while (x + n < page.width() && qGray(page.pixel(x + n, y)) < 128) {
        ++n;
    }
    return n;
}

} // namespace

TEST_F(PrintSetupTest, TheSetupDialogSetsUpAndPrintsNothing) {
    QPrinter printer(QPrinterInfo::printerInfo(queue), QPrinter::HighResolution);
    PrinterSetupDialog dialog(&printer);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print Setup"));
    EXPECT_EQ(dialog.windowTitle(), PrinterSetupDialog::title());
    bool ok = false;
    for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        if (!b->isVisible()) {
            continue;
        }
        EXPECT_FALSE(b->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Print")))
            << b->text().toStdString();
        ok = ok || b->text() == QStringLiteral("OK");
    }
    EXPECT_TRUE(ok);
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintToFile));

    // What the user sets there is what the printer holds afterwards.
    auto* copies = dialog.findChild<QSpinBox*>(QStringLiteral("copies"));
    ASSERT_NE(copies, nullptr);
    copies->setValue(3);
    dialog.accept();
    EXPECT_EQ(printer.copyCount(), 3);
}

TEST_F(PrintSetupTest, TheSetupsPaperOrientationCopiesAndDuplexReachThePrint) {
    dialogs.answerPrinterSetup = [](QPrinter& p) {
        p.setPageSize(QPageSize(QPageSize::A5));
        p.setPageOrientation(QPageLayout::Landscape);
        p.setCopyCount(3);
        p.setCollateCopies(true);
        p.setDuplex(QPrinter::DuplexShortSide);
        return true;
    };
    printAfterSetup();
    EXPECT_EQ(dialogs.printerSetups, 1);
    EXPECT_EQ(form->RepSystem1->copies, 3);
    const std::vector<int> jobs = completed(1);
    ASSERT_EQ(jobs.size(), 1u);
    const auto job = cups()->jobAttributes(queue, jobs[0]);
    EXPECT_EQ(job.value(QStringLiteral("copies")), QStringLiteral("3"));
    EXPECT_EQ(job.value(QStringLiteral("Collate")), QStringLiteral("true"));
    EXPECT_EQ(job.value(QStringLiteral("sides")), QStringLiteral("two-sided-short-edge"));
    EXPECT_TRUE(
        job.value(QStringLiteral("media")).contains(QStringLiteral("A5"), Qt::CaseInsensitive))
        << job.value(QStringLiteral("media")).toStdString();
    // The orientation travels in the document itself: its page is A5 lying on its side.
    const QString info = runTool(QStringLiteral("pdfinfo"), {cups()->jobDocument(jobs[0])});
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)")).match(info);
    ASSERT_TRUE(size.hasMatch()) << info.toStdString();
    EXPECT_NEAR(size.captured(1).toDouble(), 595.3, 0.5); // 210 mm
    EXPECT_NEAR(size.captured(2).toDouble(), 419.5, 0.5); // 148 mm

    // A setup that is cancelled changes nothing: the next print is as the last one.
    dialogs.answerPrinterSetup = nullptr;
    printAfterSetup();
    ASSERT_EQ(completed(2).size(), 2u);
    EXPECT_EQ(cups()->jobAttributes(queue, completed(2)[1]).value(QStringLiteral("copies")),
              QStringLiteral("3"));
}

TEST_F(PrintSetupTest, PrintedLinesAreAsWideOnPaperAsThePdfs) {
    constexpr int kDpi = 300;
    printAfterSetup();
    ASSERT_EQ(completed(1).size(), 1u);
    const std::vector<QImage> printed = printedPages(kDpi);
    ASSERT_EQ(printed.size(), 1u);

    // The same report as a PDF, rendered by poppler at the same scale.
    dialogs.answerOptions = nullptr; // the preview, and Save As from it
    const QString pdf = reportToPdf(QStringLiteral("report.pdf"));
    const QString prefix = dir.filePath(QStringLiteral("pdf-page"));
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-gray"),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    const QImage fromPdf =
        QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(fromPdf.isNull());
    const QImage& page = printed[0];
    // PostScript's A4 is 595 x 842 pt, PDF's 595.28 x 841.89 pt.
    EXPECT_NEAR(page.width(), fromPdf.width(), 3);
    EXPECT_NEAR(page.height(), fromPdf.height(), 3);

    // 1.5 pt at 300 dpi is 6.25 pixels: the frame's left side and the header's rule.
    const int middle = page.height() / 2;
    const int printedFrame = darkRun(page, 0, middle);
    const int pdfFrame = darkRun(fromPdf, 0, middle);
    EXPECT_NEAR(pdfFrame, 6, 1);
    EXPECT_NEAR(printedFrame, pdfFrame, 1) << "printed " << printedFrame << ", PDF " << pdfFrame;
    const auto ruleHeight = [](const QImage& image) {
        const int x = image.width() / 4;
        int y = static_cast<int>(25.0 / kMmPerInch * kDpi); // above the rule at 30.5 mm
        while (y < image.height() && qGray(image.pixel(x, y)) >= 128) {
            ++y;
        }
        int n = 0;
        while (y + n < image.height() && qGray(image.pixel(x, y + n)) < 128) {
            ++n;
        }
        return n;
    };
    EXPECT_NEAR(ruleHeight(page), ruleHeight(fromPdf), 1);

    // Side by side for a look: KR90X_REPORT_DIR keeps it.
    QImage both(page.width() * 2 + 20, page.height(), QImage::Format_Grayscale8);
    both.fill(160);
    QPainter painter(&both);
    painter.drawImage(0, 0, page);
    painter.drawImage(page.width() + 20, 0, fromPdf);
    painter.end();
    both.save(path(QStringLiteral("printed-beside-pdf.png")));
}
