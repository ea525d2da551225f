#pragma once

#include "reports/PageDescription.h"
#include "reports/Printers.h"
#include "reports/ReportDialogs.h"
#include "reports/TRepRenderPDF.h"

#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kr90x::reports {

// What the preview asks of the engine that opened it.
class PreviewHost {
public:
    virtual ~PreviewHost() = default;
    // The file types of Save As, in the order offered.
    virtual QStringList saveFilters() const = 0;
    virtual bool saveDocument(const Document& document, const QString& fileName, int filterIndex,
                              QString* error) = 0;
    virtual bool openSnapshot(const QString& fileName, Document& document, QString* error) = 0;
    // Print with the print-range form of "Output Options"; false when nothing was printed.
    virtual bool printFromPreview(const Document& document) = 0;
    // The name Save As offers, without a folder or suffix; empty: none.
    virtual QString suggestedFileName() const { return {}; }
};

// The output engine shared by both report projects: the "Output Options" dialog, the
// status window while the page is made, then the preview or the printer.
class TRepSystem : public PreviewHost {
public:
    explicit TRepSystem(ReportDialogs& dialogs);

    // The renderer behind the PDF file type of Save As (a default one when none is set).
    // What Save As offers as the file's name, set by whoever runs a report.
    QString saveName;
    QString suggestedFileName() const override { return saveName; }
    TRepRenderPDF* pdfRenderer = nullptr;

    QString setupTitle = QStringLiteral("Output Options");
    QString statusTitle = QStringLiteral("Report Status");
    QString previewTitle = QStringLiteral("Report Preview");
    QString generatingText = QStringLiteral("Generating page %p");
    QString printingText = QStringLiteral("Printing page %p");
    QString printJobTitle = QStringLiteral("KR90X Report");

    // Outlive a run.
    int copies = 1;
    bool collate = false;
    bool duplex = false;

    // The decimal separator of the preview's zoom field.
    QChar decimalSeparator = QLatin1Char(',');

    // The installed printers, default one first (the system's by default).
    std::function<std::vector<PrinterEntry>()> listPrinters;
    // Whether the printer's driver makes copies itself; when not, the document is sent
    // once per copy.
    std::function<bool(QPrinter&)> driverCanCopy;

    enum class Outcome { Cancelled, Previewed, Printed, Failed };
    // Setup, generate, output. `makePage` prints the report's one page.
    Outcome Execute(const std::function<Page()>& makePage);

    // A document made by the engine on its own, with no report attached: one empty page.
    static Document emptyDocument();

    // The printer the dialog shows and prints on; empty when there is none.
    QString selectedPrinter() const { return selected_.name; }
    // The text of "Selected Printer".
    QString printerText() const;

    // Prints the pages named (1-based, ascending) on the selected printer with the
    // engine's copies, collate and duplex and the paper and orientation of the printer
    // setup. False when nothing was printed: `error` then says why, or is empty when the
    // user cancelled.
    bool printDocument(const Document& document, const std::vector<int>& pages,
                       QString* error = nullptr);

    // PreviewHost
    QStringList saveFilters() const override;
    bool saveDocument(const Document& document, const QString& fileName, int filterIndex,
                      QString* error) override;
    bool openSnapshot(const QString& fileName, Document& document, QString* error) override;
    bool printFromPreview(const Document& document) override;

    // Substitutes the page number for %p.
    static QString pageText(const QString& pattern, int page);

private:
    // What the printer setup chose beyond copies, collate and duplex, for its printer.
    struct PageSetup {
        QString printer;
        QPageLayout layout;
        QPrinter::DuplexMode sides = QPrinter::DuplexAuto;
    };

    void refreshPrinters();
    OutputOptionsRequest request(bool rangeForm, int pageCount);
    void takeOptions(const OutputOptionsAnswer& answer, bool printerFields);
    PrinterChoice setupPrinter(const PrinterChoice& current);
    // The selected printer with the setup's paper and orientation, and its duplex side
    // when printing on both sides.
    void configure(QPrinter& printer, bool twoSided) const;

    ReportDialogs& dialogs_;
    PrinterEntry selected_;
    bool havePrinter_ = false;
    std::optional<PageSetup> pageSetup_;
};

} // namespace kr90x::reports
