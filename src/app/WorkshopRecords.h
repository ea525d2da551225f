#pragma once

#include "app/RecordsExport.h"
#include "records/BackgroundKeeper.h"
#include "records/RecordStore.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QTimer;
class QPushButton;
class QWidget;

namespace kr90x {

class Log;

struct AppState;
struct CompressionResult;
struct Curve;
class CurveDownload;
class ReadStart;
class ResultDisplay;
class RecordsWindow;
namespace charts {
class PressureChart;
}
namespace reports {
class ReportDialogs;
class TRepProject;
} // namespace reports

// The workshop records on the main window: every completed result kept, its date and
// vehicle on its report, the "Vehicle…" and "Records…" buttons and the records window.
// The store is optional: without one (or when it fails) every result still shows and
// prints as before; the store's faults are told once and the program goes on.
class WorkshopRecords : public QObject {
    Q_OBJECT
public:
    // What of the window the records work with.
    struct Parts {
        AppState& state;
        reports::ReportDialogs& dialogs;
        ReadStart& readStart;
        ResultDisplay& results;
        CurveDownload& curve;
        charts::PressureChart& curveChart;
        reports::TRepProject& compressionReport;
        reports::TRepProject& pressureReport;
        QWidget& window;
        Log& log;
    };

    explicit WorkshopRecords(Parts parts);
    ~WorkshopRecords() override;

    // The buttons, in the free area under "Select function" (owned by the window).
    QPushButton* vehicleButton() const { return vehicleButton_; }
    QPushButton* recordsButton() const { return recordsButton_; }
    // Above them: when the result on screen was measured, and on which vehicle.
    QLabel* resultLabel() const { return resultLabel_; }
    // The result left the screen (Home, or a new read): its lines go with it.
    void resultHidden();

    // The results come from the program's virtual tester (--virtual-tester): so they are
    // marked, in the list and on the report.
    void setVirtualTester(bool on) { virtualTester_ = on; }
    // How the background keeper paces its tries; tests shorten them before openStore.
    void setKeeperTiming(records::KeeperTiming timing) { keeperTiming_ = timing; }
    // Results waiting in the outbox to be kept.
    int waitingResults() const { return keeper_ ? keeper_->waiting() : 0; }

    // Keeps the results from now on in the records `location` names (a file, a server).
    // What keeps them from being used is told once the event loop runs, over the shown
    // window. The settings' warnings go to the log.
    void openStore(const records::StoreLocation& location);
    // The records file at `path`; none when it is empty.
    void openStore(const QString& path);
    records::RecordStore& store() { return store_; }

    // A reply completed a result: dated on its report, and kept.
    void resultCompleted(const CompressionResult& result);
    void resultCompleted(const Curve& curve);
    // "Vehicle…": the details of the result on screen.
    void editVehicle();
    // "Records…": the records window, opened or brought to the front.
    void showRecords();
    RecordsWindow* recordsWindow() const;

    // The records window's actions.
    void openRecord(records::RecordId id);
    void compareRecord(records::RecordId id);
    void removeRecords(const std::vector<records::RecordId>& ids);
    void exportRecords(const std::vector<records::RecordId>& ids);

    // The record of the result on screen, when it is kept.
    std::optional<records::RecordId> currentRecord() const;
    // The name Save As offers for the report of the result on screen: its plate (or its
    // test function) and the day it was measured.
    QString reportFileName() const;

private:
    struct Current {
        records::Measurement measurement;
        std::optional<records::RecordId> id;
        bool removed = false;    // deleted from the records while on screen: not kept again
        bool handedOver = false; // with the background keeper, which keeps it when it can
    };
    Current* current();
    // A result just read, with what is known around it now.
    records::Measurement measured(int function) const;
    void completed(records::Measurement m);
    void setReportParams(const records::Measurement& m);
    void showResultLines(const records::Measurement& m);
    void keep(Current& c);
    void handOver(Current& c);
    void connectKeeper();
    void keptLater(const QString& uid, records::RecordId id);
    void waitingChanged(int count, const QString& reason);
    bool storeUsable();
    bool reopen();
    void watchOthers();
    void tellFailure(const QString& what);
    void refreshWindow();
    void vehicleOfReplaced(const Current& replaced, const records::VehicleDetails& vehicle);
    void guarded(const std::function<void()>& action);
    FetchedRecord fetch(records::RecordId id);
    // The record, or none after telling why it cannot be used.
    std::optional<records::Measurement> load(records::RecordId id);

    Parts parts_;
    records::RecordStore store_;
    std::optional<records::StoreLocation> location_; // none: no records at all
    QTimer* changesTimer_ = nullptr; // while the records window shows: others' saves
    // Keeps what the records could not take at once; made with the store.
    std::unique_ptr<records::BackgroundKeeper> keeper_;
    records::KeeperTiming keeperTiming_;
    std::optional<Current> current_;
    std::uint64_t generation_ = 0; // counts the results that took current_'s place
    records::VehicleDetails lastVehicle_;
    QString comparisonText_; // the report's caption of the grey curve, while it is shown
    bool failing_ = false;   // the last use of the store failed, and the user was told
    QPushButton* vehicleButton_ = nullptr;
    QPushButton* recordsButton_ = nullptr;
    QLabel* resultLabel_ = nullptr;
    bool onScreen_ = false; // the result is shown, not hidden by Home or a new read
    bool virtualTester_ = false;
    bool waitingLogged_ = false; // the log says that results wait
    QPointer<RecordsWindow> window_;
};

} // namespace kr90x
