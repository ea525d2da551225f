#pragma once

#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kr90x::reports {

// Lengths of a page are millimetres from the paper's top-left corner.
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kA4WidthMm = 210.0;
inline constexpr double kA4HeightMm = 297.0;

// Where the top of a text line puts its baseline, and how tall the line is, in ems: the
// cell of an Arial-metric font, so that every output places a text alike whatever font
// it has at hand (Helvetica in PDF, Liberation Sans on screen).
inline constexpr double kTextAscentEm = 0.905;
inline constexpr double kTextLineEm = 1.149;

// Lines and frames are drawn this many pixels of the screen wide, and on paper as wide
// as two pixels of a 96 dpi screen are: 1.5 pt, in the PDF and on the printer alike.
inline constexpr int kLinePixels = 2;
inline constexpr double kLineWidthPt = kLinePixels * 72.0 / 96.0;

struct FontSpec {
    QString family = QStringLiteral("Arial");
    double pointSize = 12.0;
    bool bold = true;
    bool operator==(const FontSpec&) const = default;
};

enum class ItemKind : std::uint8_t {
    Rectangle = 1, // black border, filled white
    HLine = 2,     // from left over width, at top
    VLine = 3,     // from top over height, at left
    Text = 4,      // one line
    Memo = 5,      // several lines, each centred
    Bitmap = 6,    // pixels, scaled into the rectangle
    Picture = 7,   // a vector picture, or its raster when read back from a snapshot
};

enum class HAlign : std::uint8_t { Left = 0, Centre = 1 };

// One drawing instruction of a generated page. The rectangle is final: pictures already
// carry their printed height.
struct PageItem {
    ItemKind kind = ItemKind::Rectangle;
    QRectF mm;
    FontSpec font;
    HAlign align = HAlign::Left;
    QStringList lines;
    // Bitmap: the pixels. Picture: the raster, when there is no vector form.
    QImage image;
    // Picture: the vector form and the size it was drawn at (its aspect ratio).
    QPicture picture;
    bool hasVector = false;
    QSizeF sourceSize;
    // Bitmap or picture read from a snapshot: the PNG as the file held it. It is written
    // back unchanged, so that whatever was read can always be saved and read again.
    QByteArray png;
};

// A generated page: the display list that every output (preview, printer, PDF,
// snapshot) draws from.
struct Page {
    QSizeF sizeMm{kA4WidthMm, kA4HeightMm};
    std::vector<PageItem> items;
};

struct Document {
    std::vector<Page> pages;
    int pageCount() const { return static_cast<int>(pages.size()); }
};

// Draws a vector picture of `source` logical pixels into `target` (device pixels of the
// painter's current system), its own size ignored.
void drawPictureInto(QPainter& painter, const QPicture& picture, QSizeF source,
                     const QRectF& target);

// A picture element's raster: its vector form drawn on white at `dpi` of its printed
// size, or the raster it came with when it has no vector form (a raster read back from a
// snapshot gains nothing by resampling, and its printed size is the file's word).
QImage rasterisePicture(const PageItem& item, double dpi);

// The vector picture's bytes as the data connection hands them over, and back.
QByteArray encodePicture(const QPicture& picture);
bool decodePicture(const QByteArray& bytes, QPicture& picture);

} // namespace kr90x::reports
