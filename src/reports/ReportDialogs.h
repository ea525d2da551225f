#pragma once

#include "core/DialogService.h"

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QPrinter;

namespace kr90x::reports {

// Where a report goes.
enum class ReportDestination { Printer, Preview, File };

// The printer and its options as the printer setup left them.
struct PrinterChoice {
    // "%s on %s", or the printer name alone.
    QString printerText;
    int copies = 1;
    bool collate = false;
    bool duplex = false;
};

// What the "Output Options" dialog is opened with.
struct OutputOptionsRequest {
    QString caption;
    // "%s on %s", the printer name alone, or "No printers installed!".
    QString printerText;
    bool printerValid = false;
    // The form used by Print in the preview: a page range instead of a destination.
    bool printRangeForm = false;
    int pageCount = 1;
    int copies = 1;
    bool collate = false;
    bool duplex = false;
    // The system's printer setup for the selected printer, starting from the copies,
    // collate and duplex the dialog shows; returns what to show afterwards. Empty when
    // there is no printer to set up.
    std::function<PrinterChoice(const PrinterChoice&)> setupPrinter;
};

// What the user chose in "Output Options".
struct OutputOptionsAnswer {
    enum class Range { All, Selection, Pages };
    bool accepted = false;
    ReportDestination destination = ReportDestination::Preview;
    // As typed: a text that is not a whole number leaves the engine's copies alone.
    QString copiesText = QStringLiteral("1");
    bool collate = false;
    bool duplex = false;
    Range range = Range::All;
    QString selection;
    int fromPage = 1;
    int toPage = 1;
};

// The status window's side that the work sees while it runs.
class StatusReporter {
public:
    virtual ~StatusReporter() = default;
    virtual void setStatusText(const QString& text) = 0;
    // True once the user pressed Cancel.
    virtual bool cancelRequested() const = 0;
};

// The report windows, beside the program's boxes: "Output Options", the status window,
// the preview and the file dialogs. The defaults behave like a user who cancels
// everything, so a service that does not know them never blocks and never produces
// output.
class ReportDialogs : public DialogService {
public:
    // The report engine's "Output Options" dialog.
    virtual OutputOptionsAnswer outputOptions(const OutputOptionsRequest&) { return {}; }
    // Shows the status window titled `caption` while `work` runs; `work` returns false
    // when it was cancelled. The result is `work`'s.
    virtual bool runWithStatus(const QString& caption,
                               const std::function<bool(StatusReporter&)>& work) {
        (void)caption;
        struct Cancelled : StatusReporter {
            void setStatusText(const QString&) override {}
            bool cancelRequested() const override { return true; }
        } reporter;
        return work(reporter);
    }
    // Shows a modal window (the report preview) until it is closed.
    virtual void showModalWindow(QDialog& window) { (void)window; }
    // The system's printer setup dialog on `printer`; true when the user confirmed it, and
    // `printer` then holds the choices.
    virtual bool printerSetup(QPrinter& printer) {
        (void)printer;
        return false;
    }
    // File dialogs; an empty name means the user cancelled. `filters` are Qt filter texts
    // ending in their pattern, "(*.pdf)"; `filterIndex` gives the preselected one and
    // returns the chosen one. The save dialog gives the name with the chosen type's suffix
    // when none was typed, and asks before it overwrites an existing file of that name.
    // `suggested`: the name it offers, without folder or suffix (empty: none).
    virtual QString saveFileName(const QString& caption, const QStringList& filters,
                                 int& filterIndex, const QString& suggested) {
        (void)caption, (void)filters, (void)filterIndex, (void)suggested;
        return {};
    }
    // Asks whether an existing file may be replaced; true: yes.
    virtual bool confirmOverwrite(const QString& fileName) {
        (void)fileName;
        return false;
    }
    virtual QString openFileName(const QString& caption, const QStringList& filters) {
        (void)caption, (void)filters;
        return {};
    }
};

} // namespace kr90x::reports
