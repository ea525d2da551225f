#include "reports/ReportPreview.h"

#include "core/DialogService.h"
#include "reports/PagePainter.h"
#include "reports/TRepSystem.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kr90x::reports {
namespace {
constexpr double kScreenDpi = 96.0;
constexpr double kZoomStep = 10.0;
// The zoom field shows one decimal, and the zoom is kept to what it shows: Zoom Out from
// 10,1 comes down to 0,1, the smallest step it gives. Above 1000 % an A4 page would need
// more than 16k pixels.
constexpr double kZoomMinimum = 0.1;
constexpr double kZoomMaximum = 1000.0;

double oneDecimal(double percent) {
    return std::round(percent * 10.0) / 10.0;
}

// A right-aligned number field of the tool bar. It takes the keyboard only when clicked
// (or through Go to Page): the preview's keys, "+" and "-" among them, must reach the
// preview at once, not type into a field.
QLineEdit* addField(QToolBar* tools, const char* name, int width) {
    auto* field = new QLineEdit(tools); // owned by the tool bar
    field->setObjectName(QString::fromLatin1(name));
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignRight);
    field->setFocusPolicy(Qt::ClickFocus);
    tools->addWidget(field);
    return field;
}
} // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(p);
}

double PageView::pixelsPerMm() const {
    return zoom_ / 100.0 * kScreenDpi / kMmPerInch;
}

void PageView::setPage(const Page* page, double zoomPercent) {
    page_ = page;
    zoom_ = zoomPercent;
    resize(sizeHint());
    update();
}

QSize PageView::sizeHint() const {
    const QSizeF mm = page_ ? page_->sizeMm : QSizeF(kA4WidthMm, kA4HeightMm);
    const double k = pixelsPerMm();
    return {int(std::ceil(mm.width() * k)) + 2 * kMargin + kShadow,
            int(std::ceil(mm.height() * k)) + 2 * kMargin + kShadow};
}

void PageView::paintEvent(QPaintEvent*) {
    if (!page_) {
        return;
    }
    QPainter painter(this);
    const double k = pixelsPerMm();
    const QRectF sheet(kMargin, kMargin, page_->sizeMm.width() * k, page_->sizeMm.height() * k);
    painter.fillRect(sheet.translated(kShadow, kShadow), Qt::black);
    painter.fillRect(sheet, Qt::white);
    painter.translate(sheet.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), sheet.size()));
    paintPage(painter, *page_, k);
}

ReportPreview::ReportPreview(Document document, PreviewHost& host, ReportDialogs& dialogs,
                             QChar decimalSeparator, QWidget* parent)
    : QDialog(parent), document_(std::move(document)), host_(host), dialogs_(dialogs),
      decimal_(decimalSeparator) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Report Preview"));
    setModal(true);
    resize(1000, 700);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        move(s->availableGeometry().center() - QPoint(500, 350));
    }
    buildUi();
    refresh();
    scroll_->setFocus();
}

void ReportPreview::buildUi() {
    auto* layout = new QVBoxLayout(this); // owned by the dialog
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menus = new QMenuBar(this);
    auto* tools = new QToolBar(this);
    layout->setMenuBar(menus);
    layout->addWidget(tools);

    auto add = [this](QMenu* menu, const QString& text, QKeySequence key, auto slot) {
        auto* a = new QAction(text, this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        addAction(a);
        return a;
    };
    QMenu* file = menus->addMenu(QStringLiteral("&File"));
    actOpen = add(file, QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
                  [this] { openSnapshot(); });
    actSaveAs = add(file, QStringLiteral("&Save As"), QKeySequence(Qt::CTRL | Qt::Key_S),
                    [this] { saveAs(); });
    actPrint = add(file, QStringLiteral("&Print"), QKeySequence(Qt::CTRL | Qt::Key_P),
                   [this] { print(); });
    file->addSeparator();
    actExit = add(file, QStringLiteral("E&xit"), QKeySequence(), [this] { reject(); });

    QMenu* page = menus->addMenu(QStringLiteral("&Page"));
    actFirst = add(page, QStringLiteral("&First"), QKeySequence(Qt::CTRL | Qt::Key_Home),
                   [this] { goToPage(1); });
    actPrevious = add(page, QStringLiteral("&Previous"), QKeySequence(Qt::CTRL | Qt::Key_PageUp),
                      [this] { goToPage(page_ - 1); });
    actNext = add(page, QStringLiteral("&Next"), QKeySequence(Qt::CTRL | Qt::Key_PageDown),
                  [this] { goToPage(page_ + 1); });
    actLast = add(page, QStringLiteral("&Last"), QKeySequence(Qt::CTRL | Qt::Key_End),
                  [this] { goToPage(document_.pageCount()); });
    // Go to page puts the cursor in the page field: type the number, then Enter.
    actGoTo =
        add(page, QStringLiteral("&Go to Page #"), QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
            pageField_->setFocus();
            pageField_->selectAll();
        });

    QMenu* zoom = menus->addMenu(QStringLiteral("&Zoom"));
    actZoomIn =
        add(zoom, QStringLiteral("Zoom &In"), QKeySequence(Qt::Key_Plus), [this] { zoomIn(); });
    actZoomOut =
        add(zoom, QStringLiteral("Zoom &Out"), QKeySequence(Qt::Key_Minus), [this] { zoomOut(); });
    actFitPage = add(zoom, QStringLiteral("Fit to &Page"), QKeySequence(Qt::CTRL | Qt::Key_F),
                     [this] { fitPage(); });
    actFitWidth = add(zoom, QStringLiteral("Fit to Page &Width"),
                      QKeySequence(Qt::CTRL | Qt::Key_W), [this] { fitWidth(); });

    tools->addAction(actOpen);
    tools->addAction(actSaveAs);
    tools->addAction(actPrint);
    tools->addSeparator();
    tools->addAction(actFirst);
    tools->addAction(actPrevious);
    pageField_ = addField(tools, "pageField", 40);
    pageCount_ = new QLabel(tools);
    pageCount_->setObjectName(QStringLiteral("pageCount"));
    tools->addWidget(pageCount_);
    connect(pageField_, &QLineEdit::returnPressed, this, [this] {
        bool ok = false;
        const int n = pageField_->text().trimmed().toInt(&ok);
        goToPage(ok ? n : page_);
        scroll_->setFocus(); // the keys are the preview's again
    });
    tools->addAction(actNext);
    tools->addAction(actLast);
    tools->addSeparator();
    tools->addAction(actZoomOut);
    zoomField_ = addField(tools, "zoomField", 60);
    tools->addWidget(new QLabel(QStringLiteral("%"), tools));
    connect(zoomField_, &QLineEdit::editingFinished, this, [this] {
        QString t = zoomField_->text().trimmed();
        t.replace(decimal_, QLatin1Char('.'));
        bool ok = false;
        const double z = t.toDouble(&ok);
        setZoom(ok ? z : zoom_);
    });
    connect(zoomField_, &QLineEdit::returnPressed, this, [this] { scroll_->setFocus(); });
    tools->addAction(actZoomIn);
    tools->addAction(actFitPage);
    tools->addAction(actFitWidth);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("pageArea"));
    scroll_->setFocusPolicy(Qt::StrongFocus);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new PageView;
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(false);
    layout->addWidget(scroll_, 1);

    status_ = new QStatusBar(this);
    layout->addWidget(status_);
}

QString ReportPreview::statusText() const {
    return QStringLiteral("Page %1 of %2").arg(page_).arg(document_.pageCount());
}

QString ReportPreview::zoomText() const {
    return QString::number(zoom_, 'f', 1).replace(QLatin1Char('.'), decimal_);
}

QString ReportPreview::pageFieldText() const {
    return pageField_->text();
}

QString ReportPreview::pageCountText() const {
    return pageCount_->text();
}

void ReportPreview::refresh() {
    const int count = document_.pageCount();
    page_ = std::clamp(page_, 1, std::max(1, count));
    actFirst->setEnabled(page_ > 1);
    actPrevious->setEnabled(page_ > 1);
    actNext->setEnabled(page_ < count);
    actLast->setEnabled(page_ < count);
    pageField_->setText(QString::number(page_));
    pageCount_->setText(QStringLiteral("of %1").arg(count));
    zoomField_->setText(zoomText());
    status_->showMessage(statusText());
    view_->setPage(count > 0 ? &document_.pages[static_cast<std::size_t>(page_ - 1)] : nullptr,
                   zoom_);
}

void ReportPreview::goToPage(int page) {
    page_ = page;
    refresh();
}

void ReportPreview::setZoom(double percent) {
    zoom_ = std::clamp(oneDecimal(percent), kZoomMinimum, kZoomMaximum);
    refresh();
}

void ReportPreview::zoomIn() {
    setZoom(zoom_ + kZoomStep);
}

void ReportPreview::zoomOut() {
    if (zoom_ > kZoomStep) {
        setZoom(zoom_ - kZoomStep);
    }
}

QSizeF ReportPreview::viewportSize() const {
    const QSize v = scroll_->viewport()->size();
    return {double(std::max(1, v.width() - 2 * PageView::kMargin - PageView::kShadow)),
            double(std::max(1, v.height() - 2 * PageView::kMargin - PageView::kShadow))};
}

void ReportPreview::fitPage() {
    const QSizeF mm = document_.pageCount() > 0 ? document_.pages.front().sizeMm
                                                : QSizeF(kA4WidthMm, kA4HeightMm);
    const QSizeF v = viewportSize();
    const double k = std::min(v.width() / mm.width(), v.height() / mm.height());
    // Down to the tenth shown, so that the page still fits.
    setZoom(std::floor(k * kMmPerInch / kScreenDpi * 1000.0) / 10.0);
}

void ReportPreview::fitWidth() {
    const QSizeF mm = document_.pageCount() > 0 ? document_.pages.front().sizeMm
                                                : QSizeF(kA4WidthMm, kA4HeightMm);
    // Leave room for the vertical scroll bar the taller page will need.
    const double w = viewportSize().width() - scroll_->verticalScrollBar()->sizeHint().width();
    setZoom(std::floor(std::max(1.0, w) / mm.width() * kMmPerInch / kScreenDpi * 1000.0) / 10.0);
}

void ReportPreview::openSnapshot() {
    const QString name =
        dialogs_.openFileName(QStringLiteral("Open"), {host_.saveFilters().front()});
    if (name.isEmpty()) {
        return;
    }
    Document read;
    QString error;
    if (!host_.openSnapshot(name, read, &error)) {
        dialogs_.information(error);
        return;
    }
    document_ = std::move(read);
    page_ = 1;
    refresh();
}

void ReportPreview::saveAs() {
    int filter = 0;
    const QStringList filters = host_.saveFilters();
    QString name = dialogs_.saveFileName(QStringLiteral("Save As"), filters, filter,
                                         host_.suggestedFileName());
    if (name.isEmpty()) {
        return;
    }
    // The type follows the suffix typed when it names one: "report.pdf" is a PDF whichever
    // type the list still showed.
    const QString typed = QFileInfo(name).suffix();
    for (qsizetype i = 0; !typed.isEmpty() && i < filters.size(); ++i) {
        if (filters[i].endsWith(QStringLiteral("(*.%1)").arg(typed), Qt::CaseInsensitive)) {
            filter = static_cast<int>(i);
        }
    }
    // The dialog asked about the name it gave; a suffix added here names another file,
    // which may exist too.
    if (QFileInfo(name).suffix().isEmpty()) {
        name += filter == 1 ? QStringLiteral(".pdf") : QStringLiteral(".rps");
        if (QFileInfo::exists(name) && !dialogs_.confirmOverwrite(name)) {
            return;
        }
    }
    QString error;
    if (!host_.saveDocument(document_, name, filter, &error)) {
        dialogs_.information(error);
    }
}

void ReportPreview::print() {
    host_.printFromPreview(document_);
}

} // namespace kr90x::reports
