#include "reports/TRepRenderPDF.h"

#include "core/Texts.h"
#include "reports/Cp1252.h"
#include "reports/JpegWriter.h"

#include <QFile>
#include <QRawFont>
#include <QSaveFile>

#include <hpdf.h>

#include <array>
#include <memory>
#include <set>

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

// Liberation Sans, regular and bold: the metrics of Arial and Helvetica, which the
// templates were laid out for, and the letters of every European alphabet. Embedded as
// subsets, with the text in UTF-8; each face is loaded when a text first needs it. Without
// the font files (not a Debian install) the base-14 Helvetica in WinAnsiEncoding stands
// in, as it always did.
class TextFonts {
public:
    TextFonts(HPDF_Doc doc, HaruError& haru) : doc_(doc), haru_(haru) {
        static constexpr std::array<std::array<const char*, 2>, 2> kFaces = {{
            {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
             "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"},
            {"/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
             "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"},
        }};
        for (const auto& faces : kFaces) {
            if (QFile::exists(QString::fromLatin1(faces[0])) &&
                QFile::exists(QString::fromLatin1(faces[1]))) {
                files_ = faces;
                HPDF_UseUTFEncodings(doc_);
                return;
            }
        }
    }

    HPDF_Font font(bool bold) {
        HPDF_Font& font = fonts_[bold ? 1 : 0];
        if (!font && files_[0]) {
            const char* name = HPDF_LoadTTFontFromFile(doc_, files_[bold ? 1 : 0], HPDF_TRUE);
            font = name ? HPDF_GetFont(doc_, name, "UTF-8") : nullptr;
            if (!font) {
                // A font file libharu cannot read: its error is no fault of the document,
                // which is then set in Helvetica throughout.
                HPDF_ResetError(doc_);
                haru_ = {};
                files_ = {};
                fonts_ = {};
            }
        }
        if (!font) {
            font = HPDF_GetFont(doc_, bold ? "Helvetica-Bold" : "Helvetica", "WinAnsiEncoding");
        }
        return font;
    }

    // A line in the encoding of the fonts. What they cannot draw becomes "?", and is added
    // to `missing`.
    QByteArray encode(const QString& line, std::set<char32_t>& missing) {
        if (!files_[0]) {
            return toCp1252(line);
        }
        QString drawable;
        drawable.reserve(line.size());
        for (char32_t c : line.toUcs4()) {
            if (holds(c)) {
                drawable.append(QString::fromUcs4(&c, 1));
            } else {
                missing.insert(c);
                drawable.append(QLatin1Char('?'));
            }
        }
        return drawable.toUtf8();
    }

private:
    // Liberation Sans holds all of Latin-1; beyond it the font's own map is asked.
    bool holds(char32_t c) {
        if (c >= 0x20 && c <= 0xFF && !(c >= 0x7F && c < 0xA0)) {
            return true;
        }
        if (!coverage_) {
            coverage_ = std::make_unique<QRawFont>(QString::fromLatin1(files_[0]), 12);
        }
        return coverage_->isValid() && coverage_->supportsCharacter(c);
    }

    HPDF_Doc doc_;
    HaruError& haru_;
    std::array<const char*, 2> files_{};
    std::array<HPDF_Font, 2> fonts_{};
    std::unique_ptr<QRawFont> coverage_;
};

class PageWriter {
public:
    PageWriter(HPDF_Doc doc, HPDF_Page page, double heightPt, const TRepRenderPDF& options,
               TextFonts& fonts, std::set<char32_t>& missing)
        : doc_(doc), page_(page), height_(heightPt), options_(options), fonts_(fonts),
          missing_(missing) {}

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
        HPDF_Font font = fonts_.font(item.font.bold);
        if (!font) {
            return;
        }
        const double size = item.font.pointSize;
        const double lineMm = size * kTextLineEm * kMmPerInch / kPointsPerInch;
        double topMm = item.mm.top();
        for (const QString& lineText : item.lines) {
            const QByteArray bytes = fonts_.encode(lineText, missing_);
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
    TextFonts& fonts_;
    std::set<char32_t>& missing_;
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

    TextFonts fonts(doc.get(), haru);
    std::set<char32_t> missing;
    for (const Page& p : document.pages) {
        HPDF_Page page = HPDF_AddPage(doc.get());
        if (!page) {
            break;
        }
        const double w = pt(p.sizeMm.width());
        const double h = pt(p.sizeMm.height());
        HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(w));
        HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(h));
        PageWriter writer(doc.get(), page, h, *this, fonts, missing);
        for (const PageItem& item : p.items) {
            writer.draw(item);
        }
    }
    tellMissing(missing);

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

void TRepRenderPDF::tellMissing(const std::set<char32_t>& missing) const {
    QStringList codes;
    for (char32_t c : missing) {
        if (told_.insert(c).second) {
            codes.append(QStringLiteral("U+") + QString::number(static_cast<unsigned>(c), 16)
                                                    .toUpper()
                                                    .rightJustified(4, QLatin1Char('0')));
        }
    }
    if (!codes.isEmpty() && log) {
        log(QStringLiteral("PDF: no font holds %1, printed as ?")
                .arg(codes.join(QStringLiteral(", "))));
    }
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
