#pragma once

#include "reports/PageDescription.h"

#include <QDialog>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QScrollArea;
class QStatusBar;

namespace kr90x::reports {

class PreviewHost;
class ReportDialogs;

// The page drawn at the preview's zoom, on a grey desk, with a shadow.
class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    void setPage(const Page* page, double zoomPercent);
    double pixelsPerMm() const;
    static constexpr int kShadow = 5;
    static constexpr int kMargin = 10;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Page* page_ = nullptr;
    double zoom_ = 100.0;
};

// The modal "Report Preview": menus, tool bar and short cuts to open, save and print,
// to move between pages and to zoom.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(Document document, PreviewHost& host, ReportDialogs& dialogs,
                  QChar decimalSeparator, QWidget* parent = nullptr);

    const Document& document() const { return document_; }
    int currentPage() const { return page_; } // 1-based
    double zoom() const { return zoom_; }
    QString statusText() const;
    QString zoomText() const;
    QString pageFieldText() const;
    QString pageCountText() const;

    void goToPage(int page);
    void setZoom(double percent);
    void zoomIn();
    void zoomOut();
    void fitPage();
    void fitWidth();
    void openSnapshot();
    void saveAs();
    void print();

    QAction* actOpen = nullptr;
    QAction* actSaveAs = nullptr;
    QAction* actPrint = nullptr;
    QAction* actExit = nullptr;
    QAction* actFirst = nullptr;
    QAction* actPrevious = nullptr;
    QAction* actNext = nullptr;
    QAction* actLast = nullptr;
    QAction* actGoTo = nullptr;
    QAction* actZoomIn = nullptr;
    QAction* actZoomOut = nullptr;
    QAction* actFitPage = nullptr;
    QAction* actFitWidth = nullptr;

private:
    void buildUi();
    void refresh();
    QSizeF viewportSize() const;

    Document document_;
    PreviewHost& host_;
    ReportDialogs& dialogs_;
    QChar decimal_;
    int page_ = 1;
    double zoom_ = 100.0;
    PageView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLineEdit* pageField_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QLineEdit* zoomField_ = nullptr;
    QStatusBar* status_ = nullptr;
};

} // namespace kr90x::reports
