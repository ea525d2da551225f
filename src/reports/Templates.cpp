#include "reports/Templates.h"

#include "reports/TRepCustomConnection.h"

#include <QImage>

namespace kr90x::reports {
namespace {

const FontSpec kCylinderFont{QStringLiteral("Arial"), 12.0, true};
const FontSpec kTitleFont{QStringLiteral("Arial"), 16.0, true};
const FontSpec kAddressFont{QStringLiteral("Arial"), 11.0, true};
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
