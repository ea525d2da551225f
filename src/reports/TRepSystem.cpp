#include "reports/TRepSystem.h"

#include "reports/PagePainter.h"
#include "reports/ReportPreview.h"
#include "reports/Snapshot.h"

#include <QPainter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <numeric>

namespace kr90x::reports {
namespace {

std::vector<int> allPages(const Document& document) {
    std::vector<int> pages(static_cast<std::size_t>(document.pageCount()));
    std::iota(pages.begin(), pages.end(), 1);
    return pages;
}

} // namespace

TRepSystem::TRepSystem(ReportDialogs& dialogs)
    : listPrinters(systemPrinters),
      driverCanCopy([](QPrinter& p) { return p.supportsMultipleCopies(); }), dialogs_(dialogs) {}

QString TRepSystem::pageText(const QString& pattern, int page) {
    QString text = pattern;
    return text.replace(QStringLiteral("%p"), QString::number(page));
}

Document TRepSystem::emptyDocument() {
    Document document;
    document.pages.push_back(Page{});
    return document;
}

void TRepSystem::refreshPrinters() {
    const std::vector<PrinterEntry> printers = listPrinters ? listPrinters() : systemPrinters();
    havePrinter_ = false;
    for (const PrinterEntry& p : printers) {
        if (p.name == selected_.name) {
            selected_ = p;
            havePrinter_ = true;
        }
    }
    if (!havePrinter_) {
        selected_ = printers.empty() ? PrinterEntry{} : printers.front();
        havePrinter_ = !printers.empty();
    }
}

QString TRepSystem::printerText() const {
    if (!havePrinter_) {
        return QStringLiteral("No printers installed!");
    }
    if (selected_.port.isEmpty()) {
        return selected_.name;
    }
    return QStringLiteral("%1 on %2").arg(selected_.name, selected_.port);
}

OutputOptionsRequest TRepSystem::request(bool rangeForm, int pageCount) {
    OutputOptionsRequest r;
    r.caption = setupTitle;
    r.printerText = printerText();
    r.printerValid = havePrinter_;
    r.printRangeForm = rangeForm;
    r.pageCount = pageCount;
    r.copies = copies;
    r.collate = collate;
    r.duplex = duplex;
    if (havePrinter_) {
        r.setupPrinter = [this](const PrinterChoice& current) { return setupPrinter(current); };
    }
    return r;
}

void TRepSystem::configure(QPrinter& printer, bool twoSided) const {
    printer.setFullPage(true);
    if (pageSetup_ && pageSetup_->printer == selected_.name) {
        printer.setPageLayout(pageSetup_->layout);
    } else {
        printer.setPageSize(QPageSize(QPageSize::A4));
    }
    const QPrinter::DuplexMode sides = pageSetup_ ? pageSetup_->sides : QPrinter::DuplexAuto;
    printer.setDuplex(twoSided ? sides : QPrinter::DuplexNone);
}

// The setup starts from what "Output Options" shows, and whatever it chooses is what the
// print then uses: printer, paper and orientation here, copies, collate and duplex
// through the dialog's fields.
PrinterChoice TRepSystem::setupPrinter(const PrinterChoice& current) {
    QPrinter printer(QPrinterInfo::printerInfo(selected_.name), QPrinter::HighResolution);
    configure(printer, current.duplex);
    printer.setCopyCount(std::max(1, current.copies));
    printer.setCollateCopies(current.collate);
    if (!dialogs_.printerSetup(printer)) {
        return current;
    }
    selected_.name = printer.printerName();
    refreshPrinters();
    PageSetup chosen{selected_.name, printer.pageLayout(), QPrinter::DuplexAuto};
    if (printer.duplex() != QPrinter::DuplexNone) {
        chosen.sides = printer.duplex();
    }
    pageSetup_ = chosen;
    return {printerText(), printer.copyCount(), printer.collateCopies(),
            printer.duplex() != QPrinter::DuplexNone};
}

void TRepSystem::takeOptions(const OutputOptionsAnswer& answer, bool printerFields) {
    if (!printerFields) {
        return;
    }
    bool ok = false;
    const int n = answer.copiesText.trimmed().toInt(&ok);
    if (ok && n >= 1) {
        copies = n;
    }
    collate = answer.collate;
    duplex = answer.duplex;
}

TRepSystem::Outcome TRepSystem::Execute(const std::function<Page()>& makePage) {
    refreshPrinters();
    const OutputOptionsAnswer answer = dialogs_.outputOptions(request(false, 1));
    if (!answer.accepted) {
        return Outcome::Cancelled;
    }
    ReportDestination destination = answer.destination;
    if (!havePrinter_ || destination == ReportDestination::File) {
        destination = ReportDestination::Preview; // the only destination left
    }
    takeOptions(answer, destination == ReportDestination::Printer);

    Document document;
    const bool generated = dialogs_.runWithStatus(statusTitle, [&](StatusReporter& status) {
        status.setStatusText(pageText(generatingText, 1));
        if (status.cancelRequested()) {
            return false;
        }
        document.pages.push_back(makePage());
        return !status.cancelRequested();
    });
    if (!generated) {
        return Outcome::Cancelled;
    }

    if (destination == ReportDestination::Printer) {
        QString error;
        if (!printDocument(document, allPages(document), &error)) {
            if (!error.isEmpty()) {
                dialogs_.information(error);
            }
            return Outcome::Failed;
        }
        return Outcome::Printed;
    }
    ReportPreview preview(std::move(document), *this, dialogs_, decimalSeparator);
    preview.setWindowTitle(previewTitle);
    dialogs_.showModalWindow(preview);
    return Outcome::Previewed;
}

bool TRepSystem::printDocument(const Document& document, const std::vector<int>& pages,
                               QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    if (pages.empty()) {
        return fail(QStringLiteral("There is no such page to print."));
    }
    // Qt would quietly take the default printer for one that has gone.
    const QPrinterInfo info = QPrinterInfo::printerInfo(selected_.name);
    if (!havePrinter_ || info.isNull()) {
        return fail(QStringLiteral("The printer %1 is not available.").arg(selected_.name));
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(printJobTitle);
    configure(printer, duplex);
    const bool driverCopies = !driverCanCopy || driverCanCopy(printer);
    const int jobs = driverCopies ? 1 : std::max(1, copies);
    if (driverCopies) {
        printer.setCopyCount(std::max(1, copies));
        printer.setCollateCopies(collate);
    }
    const QString cannot = QStringLiteral("The printer %1 cannot print.").arg(selected_.name);
    bool failed = false;
    const bool done = dialogs_.runWithStatus(statusTitle, [&](StatusReporter& status) {
        for (int job = 0; job < jobs; ++job) {
            QPainter painter;
            if (!painter.begin(&printer)) {
                failed = true;
                return false;
            }
            const double pixelsPerMm = printer.resolution() / kMmPerInch;
            // Lines as wide on paper as in the PDF, not a device pixel or two.
            const double linePixels = kLineWidthPt / kPointsPerInch * printer.resolution();
            bool first = true;
            for (int p : pages) {
                status.setStatusText(pageText(printingText, p));
                if (status.cancelRequested()) {
                    printer.abort();
                    return false;
                }
                if (!first && !printer.newPage()) {
                    failed = true;
                    return false;
                }
                first = false;
                paintPage(painter, document.pages.at(static_cast<std::size_t>(p - 1)), pixelsPerMm,
                          linePixels);
            }
            if (!painter.end() || printer.printerState() == QPrinter::Error) {
                failed = true;
                return false;
            }
        }
        return true;
    });
    if (failed) {
        return fail(cannot);
    }
    return done || fail(QString());
}

bool TRepSystem::printFromPreview(const Document& document) {
    refreshPrinters();
    if (!havePrinter_) {
        dialogs_.information(QStringLiteral("No printers installed!"));
        return false;
    }
    const OutputOptionsAnswer answer = dialogs_.outputOptions(request(true, document.pageCount()));
    if (!answer.accepted) {
        return false;
    }
    takeOptions(answer, true);
    std::vector<int> pages;
    switch (answer.range) {
    case OutputOptionsAnswer::Range::All:
        pages = allPages(document);
        break;
    case OutputOptionsAnswer::Range::Pages:
        for (int p = std::max(1, answer.fromPage);
             p <= std::min(document.pageCount(), answer.toPage); ++p) {
            pages.push_back(p);
        }
        break;
    case OutputOptionsAnswer::Range::Selection:
        pages = parsePageRanges(answer.selection, document.pageCount());
        break;
    }
    // As the report's own run does: a failure is told, a cancel is not.
    QString error;
    if (!printDocument(document, pages, &error)) {
        if (!error.isEmpty()) {
            dialogs_.information(error);
        }
        return false;
    }
    return true;
}

QStringList TRepSystem::saveFilters() const {
    return {
        QStringLiteral("Report Snapshot Files (*.rps)"),
        QStringLiteral("%1 (%2)").arg(TRepRenderPDF::displayName(), TRepRenderPDF::filePattern())};
}

bool TRepSystem::saveDocument(const Document& document, const QString& fileName, int filterIndex,
                              QString* error) {
    if (filterIndex == 1) {
        const TRepRenderPDF fallback;
        return (pdfRenderer ? *pdfRenderer : fallback).renderToFile(document, fileName, error);
    }
    QSaveFile file(fileName);
    const QByteArray bytes = writeSnapshot(document);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) {
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        }
        return false;
    }
    return true;
}

bool TRepSystem::openSnapshot(const QString& fileName, Document& document, QString* error) {
    return readSnapshotFile(fileName, document, error);
}

} // namespace kr90x::reports
