#include "app/RecordsWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace kr90x {
namespace {

QPushButton* addButton(QHBoxLayout* row, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption); // owned by the window once in its layout
    b->setObjectName(QString::fromLatin1(name));
    row->addWidget(b);
    return b;
}

} // namespace

RecordsWindow::RecordsWindow(const FormatSettings& format, Actions actions, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(format), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("RecordsWindow"));
    setWindowTitle(QStringLiteral("Records"));
    resize(900, 480); // wide enough for a compression's summary beside the other columns

    auto* layout = new QVBoxLayout(this); // owned by the window
    search = new QLineEdit;               // owned by the window once in its layout
    search->setObjectName(QStringLiteral("search"));
    search->setPlaceholderText(
        QStringLiteral("Search: plate, customer, VIN, make, technician, test function, date"));
    search->setClearButtonEnabled(true);
    layout->addWidget(search);

    table = new QTableView; // owned by the window once in its layout
    table->setObjectName(QStringLiteral("table"));
    table->setModel(&model_);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    // Fixed row heights and column widths: the view never measures ten thousand rows.
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    for (auto [column, width] : {std::pair{records::RecordsModel::Date, 120},
                                 {records::RecordsModel::Function, 170},
                                 {records::RecordsModel::Plate, 100},
                                 {records::RecordsModel::Customer, 150},
                                 {records::RecordsModel::Tester, 60}}) {
        table->setColumnWidth(column, width);
    }
    layout->addWidget(table, 1);

    auto* row = new QHBoxLayout; // owned by the window's layout
    openButton = addButton(row, "openButton", QStringLiteral("Open"));
    compareButton = addButton(row, "compareButton", QStringLiteral("Compare"));
    exportButton = addButton(row, "exportButton", QStringLiteral("Export CSV\u2026"));
    deleteButton = addButton(row, "deleteButton", QStringLiteral("Delete\u2026"));
    row->addStretch(1);
    status = new QLabel; // owned by the window once in its layout
    status->setObjectName(QStringLiteral("status"));
    row->addWidget(status);
    row->addStretch(1);
    closeButton = addButton(row, "closeButton", QStringLiteral("Close"));
    layout->addLayout(row);

    connect(search, &QLineEdit::textChanged, this, [this](const QString& text) {
        const std::vector<records::RecordId> chosen = selectedIds();
        if (!model_.setFilter(text) && store_) {
            setStatus(QStringLiteral("The records cannot be read: ") + store_->lastError());
            return;
        }
        select(chosen);
        showCount();
    });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(table, &QTableView::activated, this, [this] { withOne(actions_.open); });
    connect(openButton, &QPushButton::clicked, this, [this] { withOne(actions_.open); });
    connect(compareButton, &QPushButton::clicked, this, [this] { withOne(actions_.compare); });
    connect(exportButton, &QPushButton::clicked, this,
            [this] { actions_.exportCsv(selectedIds()); });
    connect(deleteButton, &QPushButton::clicked, this, [this] {
        if (writable_) {
            actions_.remove(selectedIds());
        }
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* del = new QShortcut(QKeySequence::Delete, table); // owned by the table
    connect(del, &QShortcut::activated, deleteButton, &QPushButton::click);
    auto* esc = new QShortcut(Qt::Key_Escape, this); // owned by the window
    connect(esc, &QShortcut::activated, this, &QWidget::close);
    updateButtons();
}

bool RecordsWindow::refresh(records::RecordStore& store, bool writable) {
    const std::vector<records::RecordId> chosen = selectedIds();
    writable_ = writable;
    store_ = &store;
    if (!model_.setStore(&store)) {
        setStatus(QStringLiteral("The records cannot be read: ") + store.lastError());
        updateButtons();
        return false;
    }
    select(chosen);
    showCount();
    updateButtons();
    return true;
}

void RecordsWindow::showCount() {
    QString text =
        QStringLiteral("%1 of %2 records").arg(model_.rowCount()).arg(model_.totalCount());
    if (waiting_ > 0) {
        text += waiting_ == 1 ? QStringLiteral("; 1 result waits to be kept")
                              : QStringLiteral("; %1 results wait to be kept").arg(waiting_);
    }
    setStatus(text);
}

void RecordsWindow::setWaiting(int count) {
    if (count != waiting_) {
        waiting_ = count;
        showCount();
    }
}

void RecordsWindow::setStatus(const QString& text) {
    status->setText(text);
}

std::vector<records::RecordId> RecordsWindow::selectedIds() const {
    std::vector<records::RecordId> ids;
    for (const QModelIndex& index : table->selectionModel()->selectedRows()) {
        ids.push_back(model_.record(index.row()).id);
    }
    return ids;
}

void RecordsWindow::select(const std::vector<records::RecordId>& ids) {
    QItemSelection selection;
    // Each is looked up in the records: a choice of thousands is let go rather than make
    // every save wait for it.
    constexpr std::size_t kMostKept = 500;
    for (records::RecordId id : ids.size() <= kMostKept ? ids : std::vector<records::RecordId>{}) {
        if (const int row = model_.rowOf(id); row >= 0) {
            selection.select(model_.index(row, 0),
                             model_.index(row, records::RecordsModel::ColumnCount - 1));
        }
    }
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    updateButtons();
}

void RecordsWindow::updateButtons() {
    const std::size_t chosen = table->selectionModel()->selectedRows().size();
    openButton->setEnabled(chosen == 1);
    compareButton->setEnabled(chosen == 1);
    exportButton->setEnabled(chosen > 0);
    deleteButton->setEnabled(chosen > 0 && writable_);
}

void RecordsWindow::withOne(const std::function<void(records::RecordId)>& action) {
    const std::vector<records::RecordId> ids = selectedIds();
    if (ids.size() == 1 && action) {
        action(ids.front());
    }
}

} // namespace kr90x
