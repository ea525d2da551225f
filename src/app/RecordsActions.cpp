// The records window, kept up to date with what others save, and its actions on the main
// window's results: open, compare, delete and export; and the lines under "Select function"
// that say what the result on screen is.
#include "app/WorkshopRecords.h"

#include "app/RecordsExport.h"
#include "app/RecordsWindow.h"
#include "app/ResultDisplay.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "measure/CurveDownload.h"
#include "measure/ReadStart.h"
#include "measure/TestFunctions.h"
#include "reports/RecordReportLines.h"
#include "reports/ReportDialogs.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

namespace kr90x {
namespace {

// A delete question names this many records, and counts the rest.
constexpr qsizetype kNamedRecords = 5;
// How often the open records window asks whether others saved meanwhile.
constexpr int kChangesPollMs = 250;

} // namespace

void WorkshopRecords::showRecords() {
    if (store_.mode() == records::RecordStore::Mode::Closed && !reopen()) {
        parts_.dialogs.information(
            QStringLiteral("The workshop records cannot be opened: %1.")
                .arg(location_ ? store_.lastError() : QStringLiteral("none are set up")));
        return;
    }
    if (!window_) {
        window_ = new RecordsWindow( // owned by the main window, deleted with this object
            parts_.state.Format,
            // As the main window's handlers: an error that escapes is a message, not an end.
            {[this](records::RecordId id) { guarded([&] { openRecord(id); }); },
             [this](records::RecordId id) { guarded([&] { compareRecord(id); }); },
             [this](const std::vector<records::RecordId>& ids) {
                 guarded([&] { exportRecords(ids); });
             },
             [this](const std::vector<records::RecordId>& ids) {
                 guarded([&] { removeRecords(ids); });
             }},
            &parts_.window);
        // Over the main window, as its dialogs are, wherever the desktop put that.
        window_->move(parts_.window.frameGeometry().center() - window_->rect().center());
    }
    refreshWindow();
    window_->show();
    watchOthers();
    window_->raise();
    window_->activateWindow();
}

// Another program's or PC's saves show in the open list, a few times a second: asking
// costs a flag (a server tells) or one pragma (a file), and the list reloads only the rows
// in sight.
void WorkshopRecords::watchOthers() {
    if (!changesTimer_) {
        changesTimer_ = new QTimer(this); // owned by this object
        changesTimer_->setInterval(kChangesPollMs);
        connect(changesTimer_, &QTimer::timeout, this, [this] {
            if (!window_ || !window_->isVisible()) {
                changesTimer_->stop();
                return;
            }
            if (store_.changedElsewhere()) {
                refreshWindow();
            }
        });
    }
    changesTimer_->start();
}

void WorkshopRecords::refreshWindow() {
    if (!window_) {
        return;
    }
    window_->setWaiting(waitingResults());
    window_->refresh(store_, store_.writable());
}

void WorkshopRecords::showResultLines(const records::Measurement& m) {
    const records::VehicleDetails& v = m.vehicle;
    QStringList lines{QStringLiteral("Measured ") + records::RecordsModel::dateText(m.measuredAt)};
    QStringList vehicle;
    for (const QString* text : {&v.plate, &v.makeModel}) {
        if (!text->trimmed().isEmpty()) {
            vehicle << text->trimmed();
        }
    }
    if (!vehicle.isEmpty()) {
        lines << vehicle.join(QStringLiteral(", "));
    }
    if (!v.customer.trimmed().isEmpty()) {
        lines << v.customer.trimmed();
    }
    // One line each, cut to the area's width: a note-long plate must not grow the label.
    const QFontMetrics fm(resultLabel_->font());
    for (QString& line : lines) {
        line = fm.elidedText(line.simplified(), Qt::ElideRight, resultLabel_->width());
    }
    resultLabel_->setText(lines.join(QLatin1Char('\n')));
    resultLabel_->show();
    onScreen_ = true;
}

void WorkshopRecords::resultHidden() {
    resultLabel_->hide();
    onScreen_ = false;
}

QString WorkshopRecords::reportFileName() const {
    const TestFunction* f = testFunction(parts_.state.CompletedFunction);
    if (!f) {
        return {};
    }
    const Current* c = const_cast<WorkshopRecords*>(this)->current();
    const QString plate = c ? c->measurement.vehicle.plate.trimmed() : QString();
    const QDateTime when = c ? c->measurement.measuredAt : QDateTime::currentDateTimeUtc();
    QString name = (plate.isEmpty() ? QString::fromLatin1(f->itemText) : plate) + QLatin1Char(' ') +
                   when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
    // A plate may hold what a file name may not.
    for (QChar& ch : name) {
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') ||
            ch.category() == QChar::Other_Control) {
            ch = QLatin1Char('-');
        }
    }
    return name;
}

void WorkshopRecords::openRecord(records::RecordId id) {
    // A curve's count reply adds to the chart as the read left it: a record shown before
    // it came would have its samples mixed with the new ones.
    if (parts_.readStart.awaitingReply()) {
        parts_.dialogs.information(
            QStringLiteral("A read is in progress. Open the record once its result is shown."));
        return;
    }
    std::optional<records::Measurement> m = load(id);
    if (!m) {
        return;
    }
    // As if it had just been read: a download that runs is left, the charts are made
    // ready for the function, and the result comes in.
    parts_.curve.abandon();
    parts_.readStart.prepareForRecord(m->function);
    const TestFunction& f = *testFunction(m->function); // fits() checked it
    if (f.fuel) {
        parts_.results.showCompression(CompressionResult{*f.fuel, *m->cylinders});
    } else if (std::optional<Curve> curve = curveFromValues(m->function, m->samples)) {
        parts_.results.showCurve(*curve);
    }
    setReportParams(*m);
    showResultLines(*m);
    current_ = Current{std::move(*m), id};
    ++generation_;
    // The records window stays open beside it, but the result is what the user wants now.
    parts_.window.raise();
    parts_.window.activateWindow();
}

void WorkshopRecords::compareRecord(records::RecordId id) {
    const TestFunction* shown = testFunction(parts_.state.CompletedFunction);
    if (!shown || !shown->isCurve() || parts_.curveChart.isHidden()) {
        parts_.dialogs.information(QStringLiteral(
            "Compare draws a kept curve over the curve on screen: read or open a curve first."));
        return;
    }
    std::optional<records::Measurement> m = load(id);
    if (!m) {
        return;
    }
    if (m->function != shown->index) {
        parts_.dialogs.information(
            QStringLiteral("Only a curve of the same test function can be compared. The curve "
                           "on screen is \"%1\", the record is \"%2\".")
                .arg(QString::fromLatin1(shown->itemText), m->functionName));
        return;
    }
    charts::PointSeries& grey = parts_.curveChart.Comparison;
    grey.Clear();
    grey.reserve(m->samples.size());
    for (double v : m->samples) {
        grey.AddY(v);
    }
    comparisonText_ = comparisonLine(*m);
    parts_.curveChart.setComparisonLegend(comparisonText_);
    if (const Current* c = current()) {
        setReportParams(c->measurement);
    }
}

void WorkshopRecords::removeRecords(const std::vector<records::RecordId>& ids) {
    if (ids.empty()) {
        return;
    }
    // Named as the list shows them: the date, the test function and the plate.
    QStringList named;
    for (records::RecordId id : ids) {
        const int row = window_ ? window_->model().rowOf(id) : -1;
        if (named.size() == kNamedRecords || row < 0) {
            continue;
        }
        const records::RecordSummary& r = window_->model().record(row);
        named << QStringLiteral("%1, %2%3")
                     .arg(records::RecordsModel::dateText(r.measuredAt), r.functionName,
                          r.vehicle.plate.isEmpty() ? QString()
                                                    : QStringLiteral(", ") + r.vehicle.plate);
    }
    if (ids.size() > static_cast<std::size_t>(named.size())) {
        named << QStringLiteral("and %1 more").arg(ids.size() - named.size());
    }
    QMessageBox question(
        QMessageBox::Question, QStringLiteral("Delete"),
        (ids.size() == 1 ? QStringLiteral("Delete this record?\n")
                         : QStringLiteral("Delete these %1 records?\n").arg(ids.size())) +
            named.join(QLatin1Char('\n')) + QStringLiteral("\nThis cannot be undone."),
        QMessageBox::Yes | QMessageBox::No,
        window_ ? static_cast<QWidget*>(window_) : &parts_.window);
    question.setDefaultButton(QMessageBox::No);
    parts_.dialogs.showModalWindow(question);
    if (question.clickedButton() != question.button(QMessageBox::Yes)) {
        return;
    }
    if (!store_.remove(ids)) {
        parts_.dialogs.information(
            QStringLiteral("The records could not be deleted: %1.").arg(store_.lastError()));
    } else if (current_ && current_->id &&
               std::find(ids.begin(), ids.end(), *current_->id) != ids.end()) {
        current_->id.reset(); // still on screen, no longer kept
        current_->removed = true;
    }
    refreshWindow();
}

void WorkshopRecords::exportRecords(const std::vector<records::RecordId>& ids) {
    exportRecordsCsv(parts_.dialogs, parts_.state.Format.DecimalSeparator, ids,
                     [this](records::RecordId id) { return fetch(id); });
}

} // namespace kr90x
