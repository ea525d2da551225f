#include "app/WorkshopRecords.h"

#include "app/RecordsExport.h"
#include "app/RecordsWindow.h"
#include "app/ResultDisplay.h"
#include "app/VehicleDialog.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/HandlerGuard.h"
#include "core/Texts.h"
#include "measure/CurveDownload.h"
#include "measure/ReadStart.h"
#include "measure/TestFunctions.h"
#include "records/CsvExport.h"
#include "reports/RecordReportLines.h"
#include "reports/ReportDialogs.h"
#include "reports/TRepProject.h"
#include "reports/Templates.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUuid>

namespace kr90x {
namespace {

// The free area under "Select function": below the radio group and the hidden FTP
// buttons, above the progress bar.
constexpr QRect kButtonsArea{8, 320, 185, 58};
// Above the buttons, over the hidden FTP buttons: what the result on screen is.
constexpr QRect kResultArea{8, 252, 185, 64};

QPushButton* makeButton(QWidget* area, const char* name, const QString& caption, int top) {
    auto* b = new QPushButton(caption, area); // owned by the area, and so by the window
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(0, top, kButtonsArea.width(), 25);
    return b;
}

// A record fits the test function it names: six cylinders for a compression, samples
// for a curve. Anything else is damage.
bool fits(const records::Measurement& m) {
    const TestFunction* f = testFunction(m.function);
    return f && !f->isCurve() == m.isCompression();
}

} // namespace

WorkshopRecords::WorkshopRecords(Parts parts) : parts_(parts) {
    auto* area = new QWidget(&parts_.window); // owned by the window; unnamed, only a place
    area->setGeometry(kButtonsArea);
    // Alt+V and Alt+R; in the tab chain after the controls of a read, which keep their order.
    vehicleButton_ = makeButton(area, "btnVehicle", QStringLiteral("&Vehicle\u2026"), 0);
    recordsButton_ = makeButton(area, "btnRecords", QStringLiteral("&Records\u2026"), 33);
    // Owned by the window; unnamed, as no control of the window's own layout.
    resultLabel_ = new QLabel(&parts_.window);
    resultLabel_->setGeometry(kResultArea);
    resultLabel_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    resultLabel_->setWordWrap(true);
    resultLabel_->setTextFormat(Qt::PlainText);
    resultLabel_->hide();
}

WorkshopRecords::~WorkshopRecords() {
    delete window_; // its actions call this object
}

RecordsWindow* WorkshopRecords::recordsWindow() const {
    return window_;
}

void WorkshopRecords::openStore(const QString& path) {
    if (path.isEmpty()) {
        location_.reset();
        return;
    }
    openStore(records::StoreLocation::sqliteFile(path));
}

void WorkshopRecords::openStore(const records::StoreLocation& location) {
    location_ = location;
    for (const QString& warning : location.warnings) {
        parts_.log.add(warning);
    }
    const bool server = location.engine == records::Engine::PostgreSQL;
    if (server) {
        parts_.log.add(QStringLiteral("Workshop records: on the server ") + location.describe());
    }
    QString message;
    const bool opened = store_.open(location);
    // Another PC's save shows in the open list as soon as the server tells of it.
    store_.watchChanges([this] {
        if (window_ && window_->isVisible() && store_.changedElsewhere()) {
            refreshWindow();
        }
    });
    // A server that refuses or is away is no reason to lose a result: this PC's outbox
    // keeps them until it takes them.
    if (!opened && store_.lastFault() == records::Fault::CannotOpen && !server) {
        failing_ = true;
        message = QStringLiteral("The workshop records cannot be used: %1.\nMeasurements are "
                                 "shown and printed as usual, but not kept.")
                      .arg(store_.lastError());
    } else if (!opened) {
        failing_ = true;
        message = QStringLiteral("The workshop records cannot be used: %1.\nMeasurements are "
                                 "shown and printed as usual; they wait %2 until those can be "
                                 "used again.")
                      .arg(store_.lastError(), server ? QStringLiteral("on this PC")
                                                      : QStringLiteral("beside the records"));
    } else if (store_.newerSchema()) {
        message = QStringLiteral("The workshop records were written by a newer version of "
                                 "this program.\nThey are opened read-only: they can be looked "
                                 "at and exported. New measurements wait beside them until "
                                 "this program is brought up to date.");
    }
    if (!opened && server) {
        parts_.log.add(QStringLiteral("Workshop records: ") + store_.lastError());
    }
    // A folder that cannot be made has no room for an outbox either: nothing is kept.
    if (server || opened || store_.lastFault() != records::Fault::CannotOpen) {
        // What waits from an earlier run is sent from the start, off the window's thread.
        keeper_ = std::make_unique<records::BackgroundKeeper>(location, keeperTiming_);
        connectKeeper();
    }
    if (!message.isEmpty()) {
        QTimer::singleShot(0, this, [this, message] { parts_.dialogs.information(message); });
    }
}

WorkshopRecords::Current* WorkshopRecords::current() {
    // The result on screen is the one the report would print; a read that dropped it
    // (CompletedFunction reset, or another result since) leaves none.
    if (current_ && current_->measurement.function == parts_.state.CompletedFunction) {
        return &*current_;
    }
    return nullptr;
}

std::optional<records::RecordId> WorkshopRecords::currentRecord() const {
    return const_cast<WorkshopRecords*>(this)->current() ? current_->id : std::nullopt;
}

records::Measurement WorkshopRecords::measured(int function) const {
    const TestFunction& f = *testFunction(function);
    records::Measurement m;
    m.measuredAt = QDateTime::currentDateTimeUtc();
    m.function = function;
    m.functionName = QString::fromLatin1(f.itemText);
    m.unit = QString::fromLatin1(f.unit);
    m.decimals = f.decimals;
    m.firmwareVersion = parts_.state.DeviceFirmwareVersion;
    m.programVersion = QString::number(kProgramVersion, 'f', 2);
    m.virtualTester = virtualTester_;
    m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m;
}

void WorkshopRecords::setReportParams(const records::Measurement& m) {
    const TestFunction* f = testFunction(m.function);
    if (!f || !f->hasReport()) {
        return;
    }
    reports::TRepProject& project =
        f->report == ReportKind::Compression ? parts_.compressionReport : parts_.pressureReport;
    for (const auto& [name, text] : recordReportParams(m, parts_.state.Format)) {
        project.setParam(name, text);
    }
    if (f->report == ReportKind::Pressure) {
        // The caption goes with the grey curve: a new read or record clears both.
        project.setParam(QString::fromLatin1(reports::kComparisonParam),
                         parts_.curveChart.Comparison.isEmpty() ? QString() : comparisonText_);
    }
}

void WorkshopRecords::resultCompleted(const CompressionResult& result) {
    records::Measurement m = measured(compressionFunction(result.fuel).index);
    m.cylinders = result.bar;
    completed(std::move(m));
}

// Taken from the curve as it came whole from the tester, never from what a chart holds.
void WorkshopRecords::resultCompleted(const Curve& curve) {
    if (!testFunction(curve.function)) {
        return;
    }
    records::Measurement m = measured(curve.function);
    m.samples = curve.values;
    completed(std::move(m));
}

void WorkshopRecords::completed(records::Measurement m) {
    current_ = Current{std::move(m), std::nullopt};
    ++generation_;
    setReportParams(current_->measurement);
    showResultLines(current_->measurement);
    keep(*current_);
}

bool WorkshopRecords::storeUsable() {
    if (!location_ || store_.newerSchema()) {
        return false; // no records at all, or told at the start that they are read-only
    }
    // A store that failed may work again (the other program let go, space was freed).
    return store_.writable() || reopen();
}

bool WorkshopRecords::reopen() {
    return location_ && store_.open(*location_);
}

void WorkshopRecords::keep(Current& c) {
    // Behind the results that wait: the records take them in the order they came.
    if (keeper_ && keeper_->holdsAny()) {
        handOver(c);
        return;
    }
    const bool tried = storeUsable();
    if (tried) {
        c.id = store_.save(c.measurement);
    }
    if (!c.id && keeper_) {
        handOver(c);
        return;
    }
    if (!c.id) {
        if (tried || (location_ && !store_.newerSchema())) {
            tellFailure(QStringLiteral("The measurement is shown, but it could not be kept in "
                                       "the workshop records"));
        }
        return;
    }
    failing_ = false;
    refreshWindow();
}

// One message for a failure; the same failure again is not told again until the store
// has worked in between.
void WorkshopRecords::tellFailure(const QString& what) {
    if (failing_) {
        return;
    }
    failing_ = true;
    parts_.dialogs.information(what + QStringLiteral(": ") + store_.lastError() +
                               QStringLiteral(".\nThe program goes on without it."));
}

void WorkshopRecords::editVehicle() {
    // After Home the result is out of sight: its details are not typed blind.
    Current* shown = onScreen_ ? current() : nullptr;
    if (!shown) {
        parts_.dialogs.information(QStringLiteral(
            "There is no measurement on screen. Read a result or open a record first."));
        return;
    }
    VehicleDialog dialog(&parts_.window);
    const records::VehicleDetails& now = shown->measurement.vehicle;
    // A new result of the same vehicle is the usual case: start from the last details.
    dialog.setDetails(now.isEmpty() ? lastVehicle_ : now);
    // Replies are still handled while the dialog is open: a result completed meanwhile
    // takes the place of this one, and the details belong to the one they were typed for.
    const std::uint64_t generation = generation_;
    const Current before = *shown;
    parts_.dialogs.showModalWindow(dialog);
    if (dialog.result() != QDialog::Accepted) {
        return;
    }
    lastVehicle_ = dialog.details();
    if (generation != generation_) {
        vehicleOfReplaced(before, lastVehicle_);
        return;
    }
    Current& c = *current_;
    c.measurement.vehicle = lastVehicle_;
    setReportParams(c.measurement);
    showResultLines(c.measurement);
    if (!c.id && c.handedOver) {
        keeper_->updateVehicle(c.measurement.uid, c.measurement.vehicle);
    } else if (!c.id) {
        if (!c.removed) {
            keep(c); // not kept yet: another try, now with its vehicle
        }
    } else if (!store_.updateVehicle(*c.id, c.measurement.vehicle)) {
        parts_.dialogs.information(
            QStringLiteral("The vehicle details are on the report, but they could not be kept "
                           "in the workshop records: %1.")
                .arg(store_.lastError()));
    } else {
        refreshWindow();
    }
}

void WorkshopRecords::vehicleOfReplaced(const Current& replaced,
                                        const records::VehicleDetails& vehicle) {
    // Kept meanwhile, or still waiting: the keeper finds it by its uid.
    if (replaced.handedOver && keeper_) {
        keeper_->updateVehicle(replaced.measurement.uid, vehicle);
        return;
    }
    const std::optional<records::RecordId> id = replaced.id;
    if (!id) {
        parts_.dialogs.information(QStringLiteral(
            "A new result came in while the vehicle details were entered. The measurement they "
            "were for is no longer on screen and was not kept, so the details are dropped."));
    } else if (!store_.updateVehicle(*id, vehicle)) {
        parts_.dialogs.information(
            QStringLiteral("A new result came in while the vehicle details were entered. They "
                           "could not be kept with the measurement they were for: %1.")
                .arg(store_.lastError()));
    } else {
        refreshWindow();
    }
}

void WorkshopRecords::guarded(const std::function<void()>& action) {
    runGuarded(parts_.dialogs, action);
}

FetchedRecord WorkshopRecords::fetch(records::RecordId id) {
    std::optional<records::Measurement> m = store_.load(id);
    if (!m) {
        return store_.lastError();
    }
    if (!fits(*m)) {
        return QStringLiteral("it is damaged");
    }
    return std::move(*m);
}

std::optional<records::Measurement> WorkshopRecords::load(records::RecordId id) {
    FetchedRecord r = fetch(id);
    if (const QString* why = std::get_if<QString>(&r)) {
        parts_.dialogs.information(QStringLiteral("This record cannot be used: %1.").arg(*why));
        return std::nullopt;
    }
    return std::move(std::get<records::Measurement>(r));
}

} // namespace kr90x
