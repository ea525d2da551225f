#include "reports/Templates.h"

#include "reports/TRepCustomConnection.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

namespace kr90x::reports {
namespace {

const FontSpec kCylinderFont{QStringLiteral("Arial"), 12.0, true};
const FontSpec kTitleFont{QStringLiteral("Arial"), 16.0, true};
const FontSpec kAddressFont{QStringLiteral("Arial"), 11.0, true};
const FontSpec kRecordFont{QStringLiteral("Arial"), 10.0, true};
const QString kLogoResource = QStringLiteral(":/res/ReportLogo");

TemplateElement rect(const char* name, double l, double t, double w, double h) {
    return {
        QString::fromLatin1(name), ElementKind::Rectangle, l, t, w, h, {}, HAlign::Left, {}, {}};
}
TemplateElement hline(const char* name, double l, double t, double w) {
    return {QString::fromLatin1(name), ElementKind::HLine, l, t, w, 0, {}, HAlign::Left, {}, {}};
}
TemplateElement vline(const char* name, double l, double t, double h) {
    return {QString::fromLatin1(name), ElementKind::VLine, l, t, 0, h, {}, HAlign::Left, {}, {}};
}
TemplateElement text(const char* name, ElementKind kind, double l, double t, double w,
                     const FontSpec& font, HAlign align, const QString& content) {
    return {QString::fromLatin1(name), kind, l, t, w, 0, font, align, content, {}};
}
TemplateElement bitmap(const char* name, double l, double t, double w, double storedH) {
    return {QString::fromLatin1(name),
            ElementKind::Bitmap,
            l,
            t,
            w,
            storedH,
            {},
            HAlign::Left,
            kLogoResource,
            {}};
}
TemplateElement dataPicture(const char* name, double l, double t, double w, double storedH,
                            const char* column) {
    return {QString::fromLatin1(name),
            ElementKind::DataPicture,
            l,
            t,
            w,
            storedH,
            {},
            HAlign::Left,
            QString::fromLatin1(column),
            {}};
}
TemplateElement memo(const char* name, double l, double t, double w, double h) {
    return {QString::fromLatin1(name),
            ElementKind::Memo,
            l,
            t,
            w,
            h,
            kAddressFont,
            HAlign::Centre,
            {},
            addressBlock()};
}

double lineHeightMm(const FontSpec& font) {
    return font.pointSize * kTextLineEm * kMmPerInch / kPointsPerInch;
}

// Width given, height from the picture's own aspect ratio.
QRectF scaledToWidth(const TemplateElement& e, QSizeF source) {
    const double h = source.width() > 0 ? e.width * source.height() / source.width() : 0.0;
    return {e.left, e.top, e.width, h};
}

// The record's lines below the header: the date across the page, then the vehicle in two
// columns (each parameter in its place, so a missing one leaves a gap rather than moving
// the others), and the notes across the page. The lowest ends above the first value of
// either report (63.7 mm).
constexpr double kRecordTop = 33.5;
constexpr double kRecordStep = 4.6;
constexpr double kLeftColumn = 15.2;
constexpr double kRightColumn = 106.0;
constexpr double kColumnWidth = 88.0;
constexpr double kFullWidth = 182.8;

TemplateElement recordLine(const QString& param, double l, double t, double w,
                           const FontSpec& font) {
    return {param + QStringLiteral("Line"),
            ElementKind::DataLine,
            l,
            t,
            w,
            0,
            font,
            HAlign::Left,
            QStringLiteral("param.") + param,
            {}};
}

void addRecordLines(std::vector<TemplateElement>& elements) {
    elements.push_back(recordLine(QString::fromLatin1(kMeasuredAtParam), kLeftColumn, kRecordTop,
                                  kFullWidth, kRecordFont));
    const std::size_t grid = std::size(kVehicleParams) - 1; // the notes go across the page
    for (std::size_t i = 0; i < grid; ++i) {
        elements.push_back(recordLine(
            QString::fromLatin1(kVehicleParams[i]), i % 2 ? kRightColumn : kLeftColumn,
            kRecordTop + kRecordStep * static_cast<double>(1 + i / 2), kColumnWidth, kRecordFont));
    }
    elements.push_back(recordLine(QString::fromLatin1(kVehicleParams[grid]), kLeftColumn,
                                  kRecordTop + kRecordStep * static_cast<double>(1 + grid / 2),
                                  kFullWidth, kRecordFont));
}

// `text` cut with an ellipsis to `widthMm` in `font`, on one line.
QString fitted(QString text, const FontSpec& font, double widthMm) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Measured on a large em, whose hinting matters least, and scaled to millimetres.
    constexpr double kEmPixels = 200.0;
    QFont f;
    f.setFamilies({font.family, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                   QStringLiteral("Helvetica")});
    f.setBold(font.bold);
    f.setPixelSize(static_cast<int>(kEmPixels));
    const double pixelsPerMm = kEmPixels / (font.pointSize * kMmPerInch / kPointsPerInch);
    return QFontMetricsF(f).elidedText(text, Qt::ElideRight, widthMm * pixelsPerMm);
}

} // namespace

QStringList addressBlock() {
    return {QStringLiteral("ORVO TEST INSTRUMENTS"), QStringLiteral("Industrial Park, Unit 4"),
            QStringLiteral("00000 Sample Town (Country)"), QStringLiteral("www.example.com")};
}

ReportTemplate compressionTemplate() {
    ReportTemplate t;
    const auto data = ElementKind::DataText;
    const auto left = HAlign::Left;
    t.elements = {
        rect("Rectangle1", 5.6, 6.2, 198.5, 284.9),
        text("Texto", data, 79.1, 63.7, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_1")),
        text("DataText1", data, 79.1, 71.8, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_2")),
        text("DataText2", data, 79.1, 79.9, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_3")),
        text("DataText3", data, 79.1, 88.1, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_4")),
        text("DataText4", data, 79.1, 96.2, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_5")),
        text("DataText5", data, 79.1, 104.3, 53.3, kCylinderFont, left,
             QStringLiteral("param.Cilindro_6")),
        hline("HLine1", 5.6, 30.5, 198.5),
        hline("HLine2", 5.6, 266.2, 198.3),
        text("Text1", ElementKind::Text, 85.1, 15.7, 116.8, kTitleFont, HAlign::Centre,
             QStringLiteral("COMPRESSION TEST")),
        bitmap("Bitmap1", 15.2, 12.0, 61.0, 17.8),
        vline("VLine1", 84.1, 6.5, 24.0),
        dataPicture("MetaFile1", 39.9, 141.6, 129.7, 76.2, "PieChart"),
        memo("Memo1", 66.0, 269.9, 76.2, 20.3),
    };
    addRecordLines(t.elements);
    // Under the six cylinder lines, one step of theirs below the last.
    t.elements.push_back(
        recordLine(QString::fromLatin1(kSpreadParam), 79.1, 112.4, 120.0, kCylinderFont));
    return t;
}

ReportTemplate pressureTemplate() {
    ReportTemplate t;
    t.elements = {
        rect("Rectangle1", 5.6, 6.2, 198.5, 284.9),
        hline("HLine1", 5.6, 30.5, 198.5),
        hline("HLine2", 5.6, 266.2, 198.4),
        bitmap("Bitmap1", 15.2, 12.0, 61.0, 15.3),
        vline("VLine1", 84.1, 6.3, 24.2),
        dataPicture("MetaFile1", 14.9, 91.6, 182.2, 118.7, "ChartAltaPresion"),
        memo("Memo1", 66.0, 269.9, 76.2, 20.3),
        text("DataText1", ElementKind::DataText, 85.0, 15.0, 117.9, kTitleFont, HAlign::Centre,
             QStringLiteral("Param.Titulo")),
    };
    addRecordLines(t.elements);
    // Just above the chart, at its left edge: what its grey curve is.
    t.elements.push_back(
        recordLine(QString::fromLatin1(kComparisonParam), 14.9, 86.1, 182.2, kRecordFont));
    return t;
}

QString evaluateExpression(const QString& expression, const ReportParams& params) {
    static const QString prefix = QStringLiteral("param.");
    if (!expression.startsWith(prefix, Qt::CaseInsensitive)) {
        return {};
    }
    return params.value(expression.mid(prefix.size()));
}

Page printTemplate(const ReportTemplate& tmpl, const ReportParams& params,
                   TRepCustomConnection* connection) {
    Page page;
    page.sizeMm = tmpl.pageMm;
    if (connection) {
        connection->Open();
        connection->First();
        connection->ReadRow();
    }
    for (const TemplateElement& e : tmpl.elements) {
        PageItem item;
        item.mm = QRectF(e.left, e.top, e.width, e.height);
        item.font = e.font;
        item.align = e.align;
        switch (e.kind) {
        case ElementKind::Rectangle:
            item.kind = ItemKind::Rectangle;
            break;
        case ElementKind::HLine:
            item.kind = ItemKind::HLine;
            break;
        case ElementKind::VLine:
            item.kind = ItemKind::VLine;
            break;
        case ElementKind::DataLine:
            item.kind = ItemKind::Text;
            item.lines = {fitted(evaluateExpression(e.content, params), e.font, e.width)};
            if (item.lines.constFirst().isEmpty()) {
                continue; // nothing to add
            }
            item.mm.setHeight(lineHeightMm(e.font));
            break;
        case ElementKind::Text:
        case ElementKind::DataText:
            item.kind = ItemKind::Text;
            item.lines = {e.kind == ElementKind::Text ? e.content
                                                      : evaluateExpression(e.content, params)};
            item.mm.setHeight(lineHeightMm(e.font));
            break;
        case ElementKind::Memo:
            item.kind = ItemKind::Memo;
            item.lines = e.lines;
            break;
        case ElementKind::Bitmap: {
            item.kind = ItemKind::Bitmap;
            item.image = QImage(e.content);
            if (item.image.isNull()) {
                continue;
            }
            item.sourceSize = item.image.size();
            item.mm = scaledToWidth(e, item.sourceSize);
            break;
        }
        case ElementKind::DataPicture: {
            item.kind = ItemKind::Picture;
            const QByteArray bytes = connection ? connection->value(e.content) : QByteArray();
            if (bytes.isEmpty() || !decodePicture(bytes, item.picture)) {
                continue; // no value: nothing printed
            }
            item.hasVector = true;
            item.sourceSize = item.picture.boundingRect().size();
            if (item.sourceSize.isEmpty()) {
                continue;
            }
            item.mm = scaledToWidth(e, item.sourceSize);
            break;
        }
        }
        page.items.push_back(std::move(item));
    }
    if (connection) {
        connection->Close();
    }
    return page;
}

} // namespace kr90x::reports
