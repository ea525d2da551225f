#pragma once

#include "core/NumberFormat.h"
#include "records/RecordsModel.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kr90x {

// "Records": every record, newest first, a search that narrows the list as the user
// types, and what can be done with the chosen ones. It belongs to the main window and
// stays open beside it, so a record opened from it shows in the main window at once.
class RecordsWindow : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(records::RecordId)> open;
        std::function<void(records::RecordId)> compare;
        std::function<void(const std::vector<records::RecordId>&)> exportCsv;
        std::function<void(const std::vector<records::RecordId>&)> remove;
    };

    RecordsWindow(const FormatSettings& format, Actions actions, QWidget* parent);

    // Lists the store's records again (after a save, a change, a delete); the chosen
    // records stay chosen where they are still there. `writable`: records can be deleted.
    // False when they cannot be read; the status line says why.
    bool refresh(records::RecordStore& store, bool writable);
    void setStatus(const QString& text);
    // Results waiting in the outbox to be kept: said beside the count, 0 says nothing.
    void setWaiting(int count);

    std::vector<records::RecordId> selectedIds() const;
    void select(const std::vector<records::RecordId>& ids);
    records::RecordsModel& model() { return model_; }

    // Controls, owned by the window.
    QLineEdit* search = nullptr;
    QTableView* table = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* compareButton = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* status = nullptr;

private:
    void updateButtons();
    void showCount();
    void withOne(const std::function<void(records::RecordId)>& action);

    records::RecordsModel model_;
    Actions actions_;
    bool writable_ = false;
    records::RecordStore* store_ = nullptr; // the list's, for its errors
    int waiting_ = 0;
};

} // namespace kr90x
