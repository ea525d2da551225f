#include "reports/TRepRenderPDF.h"

#include "core/Texts.h"
#include "reports/Cp1252.h"
#include "reports/JpegWriter.h"

#include <QSaveFile>

#include <hpdf.h>

#include <memory>

namespace kr90x::reports {
namespace {

struct HaruError {
    HPDF_STATUS status = HPDF_OK;
    HPDF_STATUS detail = 0;
};

void onHaruError(HPDF_STATUS status, HPDF_STATUS detail, void* user) {
    auto* e = static_cast<HaruError*>(user);
    if (e->status == HPDF_OK) {
        e->status = status;
        e->detail = detail;
    }
}

struct DocDeleter {
    void operator()(HPDF_Doc doc) const { HPDF_Free(doc); }
};
using DocPtr = std::unique_ptr<std::remove_pointer_t<HPDF_Doc>, DocDeleter>;

double pt(double mm) {
    return mm * kPointsPerInch / kMmPerInch;
}

class PageWriter {
public:
    PageWriter(HPDF_Doc doc, HPDF_Page page, double heightPt, const TRepRenderPDF& options)
        : doc_(doc), page_(page), height_(heightPt), options_(options) {}

    void draw(const PageItem& item) {
        const QRectF& r = item.mm;
        switch (item.kind) {
        case ItemKind::Rectangle:
            HPDF_Page_SetLineWidth(page_, kLineWidthPt);
            HPDF_Page_SetRGBStroke(page_, 0, 0, 0);
            HPDF_Page_SetRGBFill(page_, 1, 1, 1);
            HPDF_Page_Rectangle(page_, pt(r.left()), y(r.bottom()), pt(r.width()), pt(r.height()));
            HPDF_Page_FillStroke(page_);
            break;
        case ItemKind::HLine:
            line(r.left(), r.top(), r.left() + r.width(), r.top());
            break;
        case ItemKind::VLine:
            line(r.left(), r.top(), r.left(), r.top() + r.height());
            break;
        case ItemKind::Text:
        case ItemKind::Memo:
            texts(item);
            break;
        case ItemKind::Bitmap:
            image(item, item.image);
            break;
        case ItemKind::Picture:
            image(item, rasterisePicture(item, options_.pictureDpi));
            break;
        }
    }

private:
    HPDF_REAL y(double mm) const { return static_cast<HPDF_REAL>(height_ - pt(mm)); }

    void line(double x1, double y1, double x2, double y2) {
        HPDF_Page_SetLineWidth(page_, kLineWidthPt);
        HPDF_Page_SetRGBStroke(page_, 0, 0, 0);
        HPDF_Page_MoveTo(page_, pt(x1), y(y1));
        HPDF_Page_LineTo(page_, pt(x2), y(y2));
        HPDF_Page_Stroke(page_);
    }

    void texts(const PageItem& item) {
        const char* name = item.font.bold ? "Helvetica-Bold" : "Helvetica";
        HPDF_Font font = HPDF_GetFont(doc_, name, "WinAnsiEncoding");
        if (!font) {
            return;
        }
        const double size = item.font.pointSize;
        const double lineMm = size * kTextLineEm * kMmPerInch / kPointsPerInch;
        double topMm = item.mm.top();
        for (const QString& lineText : item.lines) {
            const QByteArray bytes = toCp1252(lineText);
            if (!bytes.isEmpty()) {
                HPDF_Page_SetFontAndSize(page_, font, static_cast<HPDF_REAL>(size));
                double x = pt(item.mm.left());
                if (item.kind == ItemKind::Memo || item.align == HAlign::Centre) {
                    const double w = HPDF_Page_TextWidth(page_, bytes.constData());
                    x += (pt(item.mm.width()) - w) / 2.0;
                }
                HPDF_Page_SetRGBFill(page_, 0, 0, 0);
                HPDF_Page_BeginText(page_);
                HPDF_Page_TextOut(page_, static_cast<HPDF_REAL>(x),
                                  static_cast<HPDF_REAL>(y(topMm) - size * kTextAscentEm),
                                  bytes.constData());
                HPDF_Page_EndText(page_);
            }
            topMm += lineMm;
        }
    }

    void image(const PageItem& item, const QImage& pixels) {
        const QByteArray jpeg = encodeJpeg(pixels, options_.jpegQuality);
        if (jpeg.isEmpty()) {
            return;
        }
        HPDF_Image img =
            HPDF_LoadJpegImageFromMem(doc_, reinterpret_cast<const HPDF_BYTE*>(jpeg.constData()),
                                      static_cast<HPDF_UINT>(jpeg.size()));
        if (!img) {
            return;
        }
        const QRectF& r = item.mm;
        HPDF_Page_DrawImage(page_, img, static_cast<HPDF_REAL>(pt(r.left())), y(r.bottom()),
                            static_cast<HPDF_REAL>(pt(r.width())),
                            static_cast<HPDF_REAL>(pt(r.height())));
    }

    HPDF_Doc doc_;
    HPDF_Page page_;
    double height_;
    const TRepRenderPDF& options_;
};

} // namespace

QByteArray TRepRenderPDF::render(const Document& document, QString* error) const {
    HaruError haru;
    DocPtr doc(HPDF_New(onHaruError, &haru));
    if (!doc) {
        if (error) {
            *error = QStringLiteral("The PDF library could not start.");
        }
        return {};
    }
    HPDF_SetCompressionMode(doc.get(), HPDF_COMP_NONE);
    const QByteArray creator = QByteArray(kApplicationTitle);
    const QByteArray producer = QByteArray(kApplicationTitle) + " " +
                                QByteArray::number(kProgramVersion, 'f', 2) + " report engine";
    HPDF_SetInfoAttr(doc.get(), HPDF_INFO_CREATOR, creator.constData());
    HPDF_SetInfoAttr(doc.get(), HPDF_INFO_PRODUCER, producer.constData());

    for (const Page& p : document.pages) {
        HPDF_Page page = HPDF_AddPage(doc.get());
        if (!page) {
            break;
        }
        const double w = pt(p.sizeMm.width());
        const double h = pt(p.sizeMm.height());
        HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(w));
        HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(h));
        PageWriter writer(doc.get(), page, h, *this);
        for (const PageItem& item : p.items) {
            writer.draw(item);
        }
    }

    QByteArray bytes;
    if (haru.status == HPDF_OK && HPDF_SaveToStream(doc.get()) == HPDF_OK) {
        HPDF_ResetStream(doc.get());
        for (;;) {
            HPDF_BYTE chunk[8192];
            HPDF_UINT32 n = sizeof chunk;
            const HPDF_STATUS s = HPDF_ReadFromStream(doc.get(), chunk, &n);
            bytes.append(reinterpret_cast<const char*>(chunk), static_cast<qsizetype>(n));
            if (s != HPDF_OK) {
                break; // HPDF_STREAM_EOF at the end
            }
        }
    }
    if (haru.status != HPDF_OK || bytes.isEmpty()) {
        if (error) {
            *error = QStringLiteral("The PDF could not be made (error 0x%1, %2).")
                         .arg(haru.status, 4, 16, QLatin1Char('0'))
                         .arg(haru.detail);
        }
        return {};
    }
    return bytes;
}

bool TRepRenderPDF::renderToFile(const Document& document, const QString& fileName,
                                 QString* error) const {
    const QByteArray bytes = render(document, error);
    if (bytes.isEmpty()) {
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) {
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        }
        return false;
    }
    return true;
}

} // namespace kr90x::reports
