// The output engine: "Output Options", the status window, the preview and snapshots.
#include "ReportFixture.h"

#include "reports/OutputOptionsDialog.h"
#include "reports/PagePainter.h"
#include "reports/Snapshot.h"
#include "reports/TRepCustomConnection.h"
#include "reports/Templates.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace kr90x;
using namespace kr90x::reports;
using namespace kr90x::test;

namespace {

class ReportOutputTest : public ReportFixture {
protected:
    // Runs the compression report with the default choices and hands the open preview
    // to `look`.
    void preview(const std::function<void(ReportPreview&)>& look) {
        dialogs.onModal = [&](QDialog& w) {
            w.show(); // as the modal loop would
            look(static_cast<ReportPreview&>(w));
        };
        form->btnReportClick(form->btnReport);
        dialogs.onModal = nullptr;
    }
};

TEST_F(ReportOutputTest, CancelInOutputOptionsMakesNothing) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    dialogs.answerOptions = [](const OutputOptionsRequest&) { return OutputOptionsAnswer{}; };
    form->btnReportClick(form->btnReport);
    ASSERT_EQ(dialogs.optionRequests.size(), 1u);
    EXPECT_EQ(dialogs.optionRequests[0].caption, QStringLiteral("Output Options"));
    EXPECT_TRUE(dialogs.statusCaptions.empty());
    EXPECT_TRUE(dialogs.modalTitles.empty());
    // The project is closed again; its parameters stay.
    EXPECT_FALSE(form->RepProject1->isOpen());
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("CILINDRO_1")),
              QStringLiteral("Cylinder # 1: 12,5 Bar"));
}

TEST_F(ReportOutputTest, CancelInTheStatusWindowShowsNothing) {
    compressionResult({1, 2, 3, 4, 5, 6});
    dialogs.cancelStatus = true;
    form->btnReportClick(form->btnReport);
    EXPECT_EQ(dialogs.statusCaptions, std::vector<QString>{QStringLiteral("Report Status")});
    EXPECT_TRUE(dialogs.modalTitles.empty());
}

TEST_F(ReportOutputTest, DefaultRunPreviewsOnePageWithNavigationOff) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    bool seen = false;
    preview([&](ReportPreview& p) {
        seen = true;
        EXPECT_EQ(p.windowTitle(), QStringLiteral("Report Preview"));
        EXPECT_EQ(p.size(), QSize(1000, 700));
        EXPECT_EQ(p.document().pageCount(), 1);
        EXPECT_FALSE(p.actFirst->isEnabled());
        EXPECT_FALSE(p.actPrevious->isEnabled());
        EXPECT_FALSE(p.actNext->isEnabled());
        EXPECT_FALSE(p.actLast->isEnabled());
        EXPECT_EQ(p.statusText(), QStringLiteral("Page 1 of 1"));
        EXPECT_EQ(p.pageFieldText(), QStringLiteral("1"));
        EXPECT_EQ(p.pageCountText(), QStringLiteral("of 1"));
        EXPECT_EQ(p.zoomText(), QStringLiteral("100,0"));
        EXPECT_EQ(p.actZoomIn->shortcut(), QKeySequence(Qt::Key_Plus));
        EXPECT_EQ(p.actNext->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_PageDown));
        p.zoomIn();
        EXPECT_DOUBLE_EQ(p.zoom(), 110.0);
        p.setZoom(15.0);
        p.zoomOut();
        EXPECT_DOUBLE_EQ(p.zoom(), 5.0);
        p.zoomOut(); // not above 10: stays
        EXPECT_DOUBLE_EQ(p.zoom(), 5.0);
        p.fitPage();
        EXPECT_GT(p.zoom(), 5.0);
        const double page = p.zoom();
        p.fitWidth();
        EXPECT_GT(p.zoom(), page); // a tall page: its width fits at a larger zoom
        p.goToPage(5);             // beyond the end: the last page
        EXPECT_EQ(p.currentPage(), 1);
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(dialogs.statusTexts, std::vector<QString>{QStringLiteral("Generating page 1")});
    // The destination applies to one run: the next starts again with Preview.
    EXPECT_EQ(dialogs.optionRequests.back().printerText, QStringLiteral("No printers installed!"));
    EXPECT_FALSE(dialogs.optionRequests.back().printerValid);
}

TEST_F(ReportOutputTest, OptionsDialogWithoutPrinterOffersOnlyThePreview) {
    OutputOptionsRequest r;
    r.caption = QStringLiteral("Output Options");
    r.printerText = QStringLiteral("No printers installed!");
    OutputOptionsDialog d(r);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Output Options"));
    EXPECT_EQ(d.printerLabel->text(), QStringLiteral("No printers installed!"));
    EXPECT_TRUE(d.rbPreview->isChecked());
    EXPECT_FALSE(d.rbPrinter->isEnabled());
    EXPECT_FALSE(d.rbFile->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{d.copies, d.collate, d.duplex, d.setup,
                                                      d.fileName, d.format}) {
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    }
    EXPECT_EQ(d.ok->text(), QStringLiteral("   OK   "));
    EXPECT_TRUE(d.ok->isDefault());
}

TEST_F(ReportOutputTest, OptionsDialogEnablesPrinterFieldsOnlyForThePrinter) {
    OutputOptionsRequest r;
    r.printerText = QStringLiteral("Office");
    r.printerValid = true;
    r.copies = 3;
    r.setupPrinter = [](const PrinterChoice&) {
        return PrinterChoice{QStringLiteral("Office on usb://x"), 4, true, true};
    };
    OutputOptionsDialog d(r);
    EXPECT_TRUE(d.rbPreview->isChecked());
    EXPECT_FALSE(d.copies->isEnabled());
    EXPECT_TRUE(d.setup->isEnabled());
    EXPECT_FALSE(d.rbFile->isEnabled());
    d.rbPrinter->setChecked(true);
    EXPECT_TRUE(d.copies->isEnabled());
    EXPECT_TRUE(d.collate->isEnabled());
    EXPECT_TRUE(d.duplex->isEnabled());
    d.copies->setText(QStringLiteral("2"));
    d.duplex->setChecked(true);
    d.accept();
    EXPECT_EQ(d.printerLabel->text(), QStringLiteral("Office"));
    const OutputOptionsAnswer a = d.answer();
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.destination, ReportDestination::Printer);
    EXPECT_EQ(a.copiesText, QStringLiteral("2"));
    EXPECT_TRUE(a.duplex);

    // The setup's choices show in the fields the print takes them from.
    OutputOptionsDialog afterSetup(r);
    afterSetup.rbPrinter->setChecked(true);
    afterSetup.setup->click();
    EXPECT_EQ(afterSetup.printerLabel->text(), QStringLiteral("Office on usb://x"));
    afterSetup.accept();
    const OutputOptionsAnswer b = afterSetup.answer();
    EXPECT_EQ(b.copiesText, QStringLiteral("4"));
    EXPECT_TRUE(b.collate);
    EXPECT_TRUE(b.duplex);

    r.printRangeForm = true;
    r.pageCount = 4;
    OutputOptionsDialog range(r);
    EXPECT_EQ(range.selection->text(), QStringLiteral("1-4"));
    EXPECT_EQ(range.fromPage->text(), QStringLiteral("1"));
    EXPECT_EQ(range.toPage->text(), QStringLiteral("4"));
    EXPECT_TRUE(range.rbAll->isChecked());
    EXPECT_TRUE(range.copies->isEnabled());
}

TEST_F(ReportOutputTest, CopiesThatAreNotAWholeNumberLeaveTheEngineAlone) {
    compressionResult({1, 2, 3, 4, 5, 6});
    form->RepSystem1->listPrinters = [] {
        return std::vector<PrinterEntry>{{QStringLiteral("Office"), QStringLiteral("usb:/x")}};
    };
    form->RepSystem1->copies = 2;
    dialogs.answerOptions = [](const OutputOptionsRequest& r) {
        EXPECT_EQ(r.printerText, QStringLiteral("Office on usb:/x"));
        OutputOptionsAnswer a;
        a.accepted = true;
        a.destination = ReportDestination::Preview; // printer fields not taken
        a.copiesText = QStringLiteral("7");
        return a;
    };
    form->btnReportClick(form->btnReport);
    EXPECT_EQ(form->RepSystem1->copies, 2);
    EXPECT_EQ(dialogs.modalTitles.size(), 1u);
}

// The type follows a suffix typed, whichever type the list showed; Save As offers the
// result's function and day as the name.
TEST_F(ReportOutputTest, SaveAsWritesTheTypeTheTypedSuffixNames) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    preview([&](ReportPreview& p) {
        dialogs.saveAnswers.push_back({path(QStringLiteral("report.pdf")), 0}); // snapshot shown
        dialogs.saveAnswers.push_back({path(QStringLiteral("copy.RPS")), 1});   // PDF shown
        dialogs.saveAnswers.push_back({path(QStringLiteral("notes.txt")), 1});
        p.saveAs();
        p.saveAs();
        p.saveAs();
    });
    const auto head = [&](const char* name) {
        QFile f(path(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.read(8) : QByteArray();
    };
    EXPECT_TRUE(head("report.pdf").startsWith("%PDF-"));
    EXPECT_TRUE(head("copy.RPS").startsWith("KR90XRPS"));
    EXPECT_TRUE(head("notes.txt").startsWith("%PDF-")); // no type of ours: the one chosen
    ASSERT_EQ(dialogs.saveSuggested.size(), 3u);
    EXPECT_EQ(dialogs.saveSuggested[0],
              QStringLiteral("Petrol Compression ") +
                  QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}

TEST_F(ReportOutputTest, SnapshotSavedAndOpenedAgainShowsTheSamePage) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    const QString file = path(QStringLiteral("report.rps"));
    Document original;
    preview([&](ReportPreview& p) {
        original = p.document();
        dialogs.saveAnswers.push_back({path(QStringLiteral("report")), 0}); // suffix added
        p.saveAs();
    });
    EXPECT_EQ(dialogs.saveFilters, (QStringList{QStringLiteral("Report Snapshot Files (*.rps)"),
                                                QStringLiteral("Adobe Acrobat (PDF) (*.pdf)")}));
    ASSERT_TRUE(QFile::exists(file));

    // Opened in another preview, the page draws as the original one did.
    preview([&](ReportPreview& p) {
        p.goToPage(1);
        dialogs.openAnswers.push_back(file);
        p.openSnapshot();
        ASSERT_EQ(p.document().pageCount(), 1);
        const Page& read = p.document().pages[0];
        const Page& orig = original.pages[0];
        ASSERT_EQ(read.items.size(), orig.items.size());
        for (std::size_t i = 0; i < read.items.size(); ++i) {
            EXPECT_EQ(read.items[i].kind, orig.items[i].kind);
            EXPECT_EQ(read.items[i].mm, orig.items[i].mm);
            EXPECT_EQ(read.items[i].lines, orig.items[i].lines);
        }
        EXPECT_EQ(read.items[2].lines, QStringList{QStringLiteral("Cylinder # 2: 13,0 Bar")});
        // Both pages rendered at 60 dpi differ only where the chart was antialiased.
        auto render = [](const Page& page) {
            QImage img(QSize(496, 702), QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter painter(&img);
            paintPage(painter, page, 60.0 / kMmPerInch);
            return img;
        };
        const QImage a = render(orig), b = render(read);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
                if (std::abs(qRed(pa) - qRed(pb)) + std::abs(qGreen(pa) - qGreen(pb)) +
                        std::abs(qBlue(pa) - qBlue(pb)) >
                    96) {
                    ++differing;
                }
            }
        }
        EXPECT_LT(differing, a.width() * a.height() / 200) << differing;
    });
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ReportOutputTest, DamagedOrForeignSnapshotIsRefusedWithAMessage) {
    compressionResult({1, 2, 3, 4, 5, 6});
    Document doc;
    doc.pages.push_back(printTemplate(compressionTemplate(), ReportParams{}, nullptr));
    const QByteArray good = writeSnapshot(doc);
    Document back;
    ASSERT_TRUE(readSnapshot(good, back));

    struct Case {
        const char* name;
        QByteArray bytes;
        const char* message;
    };
    QByteArray otherVersion = good;
    otherVersion[8] = 9;
    QByteArray flipped = good;
    flipped[30] = char(0xFF);
    const std::vector<Case> cases = {
        {"pdf", QByteArray("%PDF-1.4\n"), "not a report snapshot"},
        {"empty", QByteArray(), "not a report snapshot"},
        {"truncated", good.left(good.size() / 2), "damaged or cut short"},
        {"trailing", good + "x", "damaged or cut short"},
        {"version", otherVersion, "version 9"},
        {"corrupted", flipped, "damaged or cut short"},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name) + QStringLiteral(".rps"));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        dialogs.boxes.clear();
        preview([&](ReportPreview& p) {
            dialogs.openAnswers.push_back(file);
            p.openSnapshot();
            EXPECT_EQ(p.document().pageCount(), 1); // the report stays shown
        });
        ASSERT_EQ(dialogs.boxes.size(), 1u) << c.name;
        EXPECT_TRUE(dialogs.boxes[0].text.contains(QString::fromLatin1(c.message)))
            << c.name << ": " << dialogs.boxes[0].text.toStdString();
    }
}

TEST_F(ReportOutputTest, ParametersAndTheDataConnectionFollowTheTemplates) {
    // Names without regard to case; a never-set parameter is empty.
    ReportParams params;
    params.set(QStringLiteral("Titulo"), QStringLiteral("A"));
    EXPECT_EQ(evaluateExpression(QStringLiteral("PARAM.titulo"), params), QStringLiteral("A"));
    EXPECT_EQ(evaluateExpression(QStringLiteral("param.Cilindro_1"), params), QString());
    EXPECT_EQ(evaluateExpression(QStringLiteral("Titulo"), params), QString());

    // The connection declares one graphic column and yields one row: the chart's picture
    // of its client rectangle, scaled into the template by its own aspect ratio.
    TRepCustomConnection& c = *form->RepCustomConnection2;
    c.Open();
    ASSERT_EQ(c.columns().size(), 1u);
    EXPECT_EQ(c.columns()[0].name, QStringLiteral("ChartAltaPresion"));
    EXPECT_EQ(c.columns()[0].width, 30);
    EXPECT_EQ(c.rowCount(), 1);
    c.ReadRow();
    QPicture picture;
    ASSERT_TRUE(decodePicture(c.value(QStringLiteral("ChartAltaPresion")), picture));
    EXPECT_EQ(picture.boundingRect(), QRect(0, 0, 561, 369));
    c.Next();
    EXPECT_TRUE(c.Eof());
    c.Close();

    form->RepProject1->Open();
    const Page page = form->RepProject1->generatePage();
    form->RepProject1->Close();
    const PageItem& chart = page.items[12];
    EXPECT_EQ(chart.kind, ItemKind::Picture);
    EXPECT_NEAR(chart.mm.width(), 129.7, 1e-9);
    EXPECT_NEAR(chart.mm.height(), 85.3, 0.05);
    const PageItem& logo = page.items[10];
    EXPECT_EQ(logo.kind, ItemKind::Bitmap);
    EXPECT_NEAR(logo.mm.height(), 14.9, 0.05);
}

} // namespace
