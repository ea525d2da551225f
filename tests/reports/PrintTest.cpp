// Printing through the program's own print path into a real CUPS queue.
#include "PrivateCups.h"
#include "ReportFixture.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QPrinterInfo>

using namespace kr90x;
using namespace kr90x::reports;
using namespace kr90x::test;

namespace {

class PrintTest : public ReportFixture {
protected:
    static inline std::unique_ptr<PrivateCups> cups;
    static inline QString whyNoCups;
    QString queue;

    static void SetUpTestSuite() {
        cups = std::make_unique<PrivateCups>();
        whyNoCups = cups->start();
    }
    static void TearDownTestSuite() { cups.reset(); }

    void SetUp() override {
        if (!whyNoCups.isEmpty()) {
            GTEST_SKIP() << whyNoCups.toStdString();
        }
        queue = cups->addQueue();
        ASSERT_FALSE(queue.isEmpty()) << cups->log().toStdString();
        ReportFixture::SetUp();
        form->RepSystem1->listPrinters = [q = queue] {
            return std::vector<PrinterEntry>{{q, {}}};
        };
    }

    static int pagesIn(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count("%%Page: ")) : -1;
    }

    void printReport() {
        compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
        dialogs.answerOptions = [q = queue](const OutputOptionsRequest& r) {
            EXPECT_TRUE(r.printerValid);
            EXPECT_EQ(r.printerText, q);
            OutputOptionsAnswer a;
            a.accepted = true;
            a.destination = ReportDestination::Printer;
            a.copiesText = QStringLiteral("2");
            return a;
        };
        form->btnReportClick(form->btnReport);
    }
};

TEST_F(PrintTest, TheQueueIsSeenAndOnePagePrintsIntoItsFile) {
    EXPECT_TRUE(QPrinterInfo::availablePrinterNames().contains(queue));
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    form->RepSystem1->listPrinters = nullptr; // the system's list: our private cupsd
    dialogs.answerOptions = [](const OutputOptionsRequest&) {
        OutputOptionsAnswer a;
        a.accepted = true;
        a.destination = ReportDestination::Printer;
        return a;
    };
    form->btnReportClick(form->btnReport);
    EXPECT_TRUE(dialogs.modalTitles.empty()); // printed, not previewed
    EXPECT_NE(std::find(dialogs.statusTexts.begin(), dialogs.statusTexts.end(),
                        QStringLiteral("Printing page 1")),
              dialogs.statusTexts.end());
    ASSERT_TRUE(waitFor([&] { return cups->completedJobs(queue) == 1; }, 60000))
        << cups->log().toStdString();
    ASSERT_TRUE(waitFor([&] { return pagesIn(cups->outputFile(queue)) >= 1; }, 10000));
    EXPECT_EQ(pagesIn(cups->outputFile(queue)), 1);
}

TEST_F(PrintTest, TwoCopiesOnAQueueThatCannotCopySendTwoDocuments) {
    form->RepSystem1->driverCanCopy = [](QPrinter&) { return false; };
    printReport();
    EXPECT_EQ(form->RepSystem1->copies, 2);
    ASSERT_TRUE(waitFor([&] { return cups->completedJobs(queue) == 2; }, 60000))
        << cups->log().toStdString();
    EXPECT_EQ(pagesIn(cups->outputFile(queue)), 1); // each document is the one page
}

} // namespace
