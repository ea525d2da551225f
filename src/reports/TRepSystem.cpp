#include "reports/TRepSystem.h"

#include "reports/PagePainter.h"
#include "reports/ReportPreview.h"
#include "reports/Snapshot.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace kr90x::reports {
namespace {

std::vector<PrinterEntry> systemPrinters() {
    std::vector<PrinterEntry> printers;
    const QString def = QPrinterInfo::defaultPrinterName();
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        PrinterEntry entry{name, {}};
        if (name == def) {
            printers.insert(printers.begin(), entry);
        } else {
            printers.push_back(entry);
        }
    }
    return printers;
}

// Page ranges as typed in "Selection": "1-3,5", "2-" (to the end), "-2" (from the start).
std::vector<int> parseSelection(const QString& text, int pageCount) {
    std::vector<int> pages;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        const qsizetype dash = p.indexOf(QLatin1Char('-'));
        bool ok1 = true, ok2 = true;
        int from = 0, to = 0;
        if (dash < 0) {
            from = to = p.toInt(&ok1);
        } else {
            const QString a = p.left(dash).trimmed(), b = p.mid(dash + 1).trimmed();
            from = a.isEmpty() ? 1 : a.toInt(&ok1);
            to = b.isEmpty() ? pageCount : b.toInt(&ok2);
        }
        if (!ok1 || !ok2) {
            continue;
        }
        for (int i = std::max(1, from); i <= std::min(pageCount, to); ++i) {
            pages.push_back(i);
        }
    }
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
        r.setupPrinter = [this] { return setupPrinter(); };
    }
    return r;
}

QString TRepSystem::setupPrinter() {
    QPrinter printer(QPrinterInfo::printerInfo(selected_.name));
    QPrintDialog dialog(&printer);
    dialog.setWindowTitle(setupTitle);
    if (dialog.exec() == QDialog::Accepted) {
        selected_.name = printer.printerName();
        selected_.port.clear();
        refreshPrinters();
    }
    return printerText();
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
        if (!printDocument(document, 1, document.pageCount(), &error)) {
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

bool TRepSystem::printDocument(const Document& document, int from, int to, QString* error) {
    std::vector<int> pages;
    for (int i = std::max(1, from); i <= std::min(document.pageCount(), to); ++i) {
        pages.push_back(i);
    }
    if (pages.empty() || !havePrinter_) {
        return false;
    }
    QPrinter printer(QPrinterInfo::printerInfo(selected_.name), QPrinter::HighResolution);
    printer.setDocName(printJobTitle);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDuplex(duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    const bool driverCopies = !driverCanCopy || driverCanCopy(printer);
    const int jobs = driverCopies ? 1 : std::max(1, copies);
    if (driverCopies) {
        printer.setCopyCount(std::max(1, copies));
        printer.setCollateCopies(collate);
    }
    bool printed = true;
    const bool done = dialogs_.runWithStatus(statusTitle, [&](StatusReporter& status) {
        for (int job = 0; job < jobs; ++job) {
            QPainter painter;
            if (!painter.begin(&printer)) {
                printed = false;
                if (error) {
                    *error = QStringLiteral("The printer %1 cannot print.").arg(selected_.name);
                }
                return false;
            }
            const double pixelsPerMm = printer.resolution() / kMmPerInch;
            bool first = true;
            for (int p : pages) {
                status.setStatusText(pageText(printingText, p));
                if (status.cancelRequested()) {
                    printer.abort();
                    return false;
                }
                if (!first) {
                    printer.newPage();
                }
                first = false;
                paintPage(painter, document.pages[static_cast<std::size_t>(p - 1)], pixelsPerMm);
            }
            painter.end();
        }
        return true;
    });
    return done && printed;
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
        return printDocument(document, 1, document.pageCount());
    case OutputOptionsAnswer::Range::Pages:
        return printDocument(document, answer.fromPage, answer.toPage);
    case OutputOptionsAnswer::Range::Selection:
        pages = parseSelection(answer.selection, document.pageCount());
        if (pages.empty()) {
            return false;
        }
        // Ranges of a one-page report come down to a single span.
        return printDocument(document, *std::min_element(pages.begin(), pages.end()),
                             *std::max_element(pages.begin(), pages.end()));
    }
    return false;
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
