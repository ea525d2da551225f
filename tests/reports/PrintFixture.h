#pragma once

// Printing through the program's own print path into real CUPS queues of a private cupsd,
// checked by what CUPS keeps of each job and by the PostScript each queue writes.
#include "PrivateCups.h"
#include "ReportFixture.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QImage>

namespace kr90x::test {

class PrintFixture : public ReportFixture {
protected:
    QString queue;
    int rasters_ = 0;

    // One scheduler for the whole test program (libcups reads CUPS_SERVER only once);
    // null, with the reason, when it cannot start.
    static PrivateCups* cups(QString* whyNot = nullptr) {
        // Stopped as the test program ends, while its QApplication still exists.
        struct Scheduler : ::testing::Environment {
            PrivateCups server;
            QString why = server.start();
            void TearDown() override { server.stop(); }
        };
        static Scheduler* const scheduler = [] {
            auto* s = new Scheduler; // owned by GoogleTest from here on
            ::testing::AddGlobalTestEnvironment(s);
            return s;
        }();
        if (whyNot) {
            *whyNot = scheduler->why;
        }
        return scheduler->why.isEmpty() ? &scheduler->server : nullptr;
    }

    void SetUp() override {
        QString why;
        if (!cups(&why)) {
            GTEST_SKIP() << why.toStdString();
        }
        queue = cups()->addQueue();
        ASSERT_FALSE(queue.isEmpty()) << cups()->log().toStdString();
        ReportFixture::SetUp();
        form->RepSystem1->listPrinters = [q = queue] {
            return std::vector<reports::PrinterEntry>{{q, {}}};
        };
    }

    // Waits until the queue has completed `jobs` jobs and returns their ids.
    std::vector<int> completed(std::size_t jobs) {
        std::vector<int> ids;
        EXPECT_TRUE(waitFor(
            [&] {
                ids = cups()->completedJobIds(queue);
                return ids.size() >= jobs;
            },
            60000))
            << cups()->log().toStdString();
        return ids;
    }

    // The output of the queue's last job, once it has been written; the file is removed
    // for the next job, which would otherwise leave the end of a longer one behind.
    QByteArray output() {
        QByteArray bytes;
        QFile f(cups()->outputFile(queue));
        waitFor(
            [&] {
                bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                f.close();
                return bytes.contains("%%EOF");
            },
            10000);
        f.remove();
        return bytes;
    }

    static int pagesIn(const QByteArray& postscript) {
        return static_cast<int>(postscript.count("%%Page: "));
    }

    // The last job's pages rasterised by ghostscript in grey at `dpi`.
    std::vector<QImage> printedPages(int dpi) {
        const QString folder = dir.filePath(queue + QStringLiteral("-%1").arg(++rasters_));
        QDir().mkpath(folder);
        const QString ps = folder + QStringLiteral("/job.ps");
        QFile f(ps);
        if (!f.open(QIODevice::WriteOnly) || f.write(output()) <= 0) {
            ADD_FAILURE() << "no output";
            return {};
        }
        f.close();
        runTool(QStringLiteral("gs"),
                {QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"),
                 QStringLiteral("-dNOPAUSE"), QStringLiteral("-sDEVICE=pnggray"),
                 QStringLiteral("-r%1").arg(dpi),
                 QStringLiteral("-sOutputFile=%1/page-%d.png").arg(folder), ps});
        std::vector<QImage> pages;
        for (int n = 1;; ++n) {
            QImage page(QStringLiteral("%1/page-%2.png").arg(folder).arg(n));
            if (page.isNull()) {
                return pages;
            }
            pages.push_back(page.convertToFormat(QImage::Format_Grayscale8));
        }
    }
};

} // namespace kr90x::test
