#include "reports/Snapshot.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QStringDecoder>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace kr90x::reports {
namespace {

constexpr char kMagic[8] = {'K', 'R', '9', '0', 'X', 'R', 'P', 'S'};
const QString kTooLarge = QStringLiteral("The file is too large to be a report snapshot.");
constexpr char kEnd[4] = {'E', 'N', 'D', '.'};
constexpr double kSnapshotDpi = 300.0;

// Bounds on what a file may ask for, far above anything the program writes.
constexpr std::uint32_t kMaxPages = 1000;
constexpr std::uint32_t kMaxItems = 10000;
constexpr std::uint32_t kMaxLines = 1000;
constexpr std::uint32_t kMaxText = 1 << 16;
constexpr std::uint32_t kMaxImageBytes = 64u << 20;
constexpr qint64 kMaxImagePixels = 40'000'000; // an A4 page at 600 dpi
constexpr double kMaxLength = 10000.0;         // mm, points or pixels
// What the whole document may take once read: each of the bounds above is harmless on
// its own, but a file can repeat them (2,000 flat 40-megapixel pictures fit in a file of
// the largest size accepted). A report of ours takes some 13 MB.
constexpr qint64 kMaxDecodedBytes = qint64(256) << 20;
// A text's cost beyond its characters: the string and its heap block.
constexpr qint64 kStringOverhead = qint64(sizeof(QString)) + 32;

// Counts what the document being read will take in memory, and says when it is too much.
class DecodedBudget {
public:
    bool take(qint64 bytes) {
        if (bytes < 0 || bytes > left_) {
            left_ = -1;
            return false;
        }
        left_ -= bytes;
        return true;
    }
    bool exhausted() const { return left_ < 0; }

private:
    qint64 left_ = kMaxDecodedBytes;
};

class Writer {
public:
    void raw(const char* p, std::size_t n) { out.append(p, static_cast<qsizetype>(n)); }
    void u8(std::uint8_t v) { out.append(static_cast<char>(v)); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    void bytes(const QByteArray& b) {
        u32(static_cast<std::uint32_t>(b.size()));
        out.append(b);
    }
    void str(const QString& s) { bytes(s.toUtf8()); }
    QByteArray out;
};

class Reader {
public:
    explicit Reader(const QByteArray& b) : data_(b) {}

    bool raw(char* p, std::size_t n) {
        if (!have(n)) {
            return false;
        }
        std::memcpy(p, data_.constData() + pos_, n);
        pos_ += n;
        return true;
    }
    std::optional<std::uint8_t> u8() {
        if (!have(1)) {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(data_[static_cast<qsizetype>(pos_++)]);
    }
    std::optional<std::uint32_t> u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = u8();
            if (!b) {
                return std::nullopt;
            }
            v |= std::uint32_t(*b) << (8 * i);
        }
        return v;
    }
    std::optional<std::uint16_t> u16() {
        const auto lo = u8();
        const auto hi = u8();
        if (!lo || !hi) {
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(*lo | (*hi << 8));
    }
    // A finite length in [0, kMaxLength].
    std::optional<double> length() {
        const auto lo = u32();
        const auto hi = u32();
        if (!lo || !hi) {
            return std::nullopt;
        }
        const double v = std::bit_cast<double>(std::uint64_t(*lo) | (std::uint64_t(*hi) << 32));
        if (!std::isfinite(v) || v < 0.0 || v > kMaxLength) {
            return std::nullopt;
        }
        return v;
    }
    std::optional<QByteArray> bytes(std::uint32_t limit) {
        const auto n = u32();
        if (!n || *n > limit || !have(*n)) {
            return std::nullopt;
        }
        QByteArray b = data_.mid(static_cast<qsizetype>(pos_), static_cast<qsizetype>(*n));
        pos_ += *n;
        return b;
    }
    // Only well-formed UTF-8: a broken sequence would be read as U+FFFD, three bytes
    // written back for each one read, and a text at its bound would then not read again.
    std::optional<QString> str() {
        const auto b = bytes(kMaxText);
        if (!b) {
            return std::nullopt;
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        QString text = utf8(*b);
        if (utf8.hasError()) {
            return std::nullopt;
        }
        return text;
    }
    bool atEnd() const { return pos_ == static_cast<std::size_t>(data_.size()); }

private:
    bool have(std::size_t n) const { return n <= static_cast<std::size_t>(data_.size()) - pos_; }
    const QByteArray& data_;
    std::size_t pos_ = 0;
};

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(image);
    return bytes;
}

// Decodes a PNG only after its header has shown a size within the bounds, counting it
// at no less than 32 bits a pixel: whatever draws it converts it to that.
std::optional<QImage> readPng(const QByteArray& bytes, DecodedBudget& budget) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || size.isEmpty() || pixels > kMaxImagePixels) {
        return std::nullopt;
    }
    const int bits = std::max(32, int(QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel()));
    if (!budget.take(pixels * bits / 8)) {
        return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.size() != size) {
        return std::nullopt;
    }
    return image;
}

bool takeText(DecodedBudget& budget, const QString& text) {
    return budget.take(kStringOverhead + text.size() * qint64(sizeof(QChar)));
}

bool fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

std::optional<PageItem> readItem(Reader& in, DecodedBudget& budget) {
    if (!budget.take(sizeof(PageItem))) {
        return std::nullopt;
    }
    PageItem item;
    const auto kind = in.u8();
    if (!kind || *kind < std::uint8_t(ItemKind::Rectangle) ||
        *kind > std::uint8_t(ItemKind::Picture)) {
        return std::nullopt;
    }
    item.kind = static_cast<ItemKind>(*kind);
    const auto l = in.length(), t = in.length(), w = in.length(), h = in.length();
    if (!l || !t || !w || !h) {
        return std::nullopt;
    }
    item.mm = QRectF(*l, *t, *w, *h);
    const auto align = in.u8();
    if (!align || *align > std::uint8_t(HAlign::Centre)) {
        return std::nullopt;
    }
    item.align = static_cast<HAlign>(*align);
    const auto family = in.str();
    const auto points = in.length();
    const auto bold = in.u8();
    const auto lines = in.u32();
    if (!family || !points || !bold || *bold > 1 || !lines || *lines > kMaxLines ||
        !takeText(budget, *family)) {
        return std::nullopt;
    }
    item.font = {*family, *points, *bold == 1};
    for (std::uint32_t i = 0; i < *lines; ++i) {
        const auto line = in.str();
        if (!line || !takeText(budget, *line)) {
            return std::nullopt;
        }
        item.lines.append(*line);
    }
    const auto sw = in.length(), sh = in.length();
    const auto png = in.bytes(kMaxImageBytes);
    if (!sw || !sh || !png) {
        return std::nullopt;
    }
    item.sourceSize = QSizeF(*sw, *sh);
    // Pixels belong to bitmaps and pictures, and those always have them: anything else
    // cannot come from us.
    const bool hasPixels = item.kind == ItemKind::Bitmap || item.kind == ItemKind::Picture;
    if (png->isEmpty() != !hasPixels) {
        return std::nullopt;
    }
    if (hasPixels) {
        const auto decoded = readPng(*png, budget);
        if (!decoded || !budget.take(png->size())) {
            return std::nullopt;
        }
        item.image = *decoded;
        item.png = *png;
    }
    return item;
}

} // namespace

QByteArray writeSnapshot(const Document& document) {
    Writer out;
    out.raw(kMagic, sizeof kMagic);
    out.u16(kSnapshotVersion);
    out.u16(0);
    out.u32(static_cast<std::uint32_t>(document.pages.size()));
    for (const Page& page : document.pages) {
        out.f64(page.sizeMm.width());
        out.f64(page.sizeMm.height());
        out.u32(static_cast<std::uint32_t>(page.items.size()));
        for (const PageItem& item : page.items) {
            out.u8(static_cast<std::uint8_t>(item.kind));
            out.f64(item.mm.left());
            out.f64(item.mm.top());
            out.f64(item.mm.width());
            out.f64(item.mm.height());
            out.u8(static_cast<std::uint8_t>(item.align));
            out.str(item.font.family);
            out.f64(item.font.pointSize);
            out.u8(item.font.bold ? 1 : 0);
            out.u32(static_cast<std::uint32_t>(item.lines.size()));
            for (const QString& line : item.lines) {
                out.str(line);
            }
            // Items without a picture have no source size (Qt's invalid size is -1 x -1).
            out.f64(std::max(0.0, item.sourceSize.width()));
            out.f64(std::max(0.0, item.sourceSize.height()));
            if (!item.png.isEmpty()) {
                out.bytes(item.png);
            } else if (item.kind == ItemKind::Picture) {
                out.bytes(png(rasterisePicture(item, kSnapshotDpi)));
            } else if (item.kind == ItemKind::Bitmap) {
                out.bytes(png(item.image));
            } else {
                out.bytes({});
            }
        }
    }
    out.raw(kEnd, sizeof kEnd);
    return out.out;
}

bool readSnapshot(const QByteArray& bytes, Document& document, QString* error) {
    const QString damaged = QStringLiteral("The file is not a complete report snapshot: it is "
                                           "damaged or cut short.");
    Reader in(bytes);
    char magic[sizeof kMagic];
    if (!in.raw(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        return fail(error, QStringLiteral("The file is not a report snapshot."));
    }
    const auto version = in.u16();
    const auto reserved = in.u16();
    if (!version || !reserved) {
        return fail(error, damaged);
    }
    if (*version != kSnapshotVersion) {
        return fail(error, QStringLiteral("The report snapshot has version %1; this program "
                                          "reads version %2.")
                               .arg(*version)
                               .arg(kSnapshotVersion));
    }
    const auto pages = in.u32();
    if (!pages || *pages == 0 || *pages > kMaxPages) {
        return fail(error, damaged);
    }
    Document read;
    DecodedBudget budget;
    for (std::uint32_t p = 0; p < *pages; ++p) {
        Page page;
        const auto w = in.length(), h = in.length();
        const auto items = in.u32();
        if (!w || !h || *w <= 0 || *h <= 0 || !items || *items > kMaxItems) {
            return fail(error, damaged);
        }
        page.sizeMm = QSizeF(*w, *h);
        for (std::uint32_t i = 0; i < *items; ++i) {
            auto item = readItem(in, budget);
            if (!item) {
                return fail(error, budget.exhausted() ? kTooLarge : damaged);
            }
            page.items.push_back(std::move(*item));
        }
        read.pages.push_back(std::move(page));
    }
    char end[sizeof kEnd];
    if (!in.raw(end, sizeof end) || std::memcmp(end, kEnd, sizeof kEnd) != 0 || !in.atEnd()) {
        return fail(error, damaged);
    }
    document = std::move(read);
    return true;
}

bool readSnapshotFile(const QString& fileName, Document& document, QString* error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(error, QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString()));
    }
    if (file.size() > kMaxSnapshotFileBytes) {
        return fail(error, kTooLarge);
    }
    return readSnapshot(file.readAll(), document, error);
}

} // namespace kr90x::reports
