#pragma once

#include "reports/PageDescription.h"
#include "reports/ReportParams.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kr90x::reports {

class TRepCustomConnection;

enum class ElementKind {
    Rectangle,
    HLine,
    VLine,
    Text,        // fixed text
    DataText,    // an expression evaluated at print time
    Memo,        // fixed lines, each centred
    Bitmap,      // a picture of the program's resources
    DataPicture, // a picture from a graphic field of the data view
    // An expression like DataText, for the lines a record adds: left out when it yields
    // nothing, and cut to its width (line breaks made spaces) so it never leaves its place.
    DataLine,
};

// One element of a template, in millimetres from the page's top-left corner. Pictures
// use only the width: their height follows from their own aspect ratio.
struct TemplateElement {
    QString name;
    ElementKind kind = ElementKind::Rectangle;
    double left = 0, top = 0, width = 0, height = 0;
    FontSpec font;
    HAlign align = HAlign::Left;
    // Text: the text. DataText: the expression. Bitmap: the resource. DataPicture: the
    // field's column.
    QString content;
    QStringList lines; // Memo
};

struct ReportTemplate {
    QString reportName = QStringLiteral("Report1");
    QString pageName = QStringLiteral("Page1");
    QString dataViewName = QStringLiteral("DataView1");
    QSizeF pageMm{kA4WidthMm, kA4HeightMm};
    std::vector<TemplateElement> elements; // in drawing order
};

// The two built-in templates.
ReportTemplate compressionTemplate();
ReportTemplate pressureTemplate();

// The parameters behind the lines a record adds to both reports, in the free space
// between the header and the values: when it was measured, and the vehicle. The
// compression report also prints `kSpreadParam` under its six cylinder lines.
inline constexpr const char* kMeasuredAtParam = "MeasuredAt";
inline constexpr const char* kVehicleParams[] = {"Plate", "Customer", "MakeModel", "Technician",
                                                 "Vin",   "Odometer", "Notes"};
inline constexpr const char* kSpreadParam = "Spread";
// The pressure report's caption of a stored curve drawn in grey over the measurement.
inline constexpr const char* kComparisonParam = "Comparison";

// The four lines of the address block at the foot of both reports.
QStringList addressBlock();

// A data text's value: "param.<name>" (prefix in any case) yields that parameter, the
// empty text when it is not set; anything else yields the empty text.
QString evaluateExpression(const QString& expression, const ReportParams& params);

// Prints a template into a page: data texts evaluated now, the data view's one row read
// from `connection` (may be null: no pictures from data).
Page printTemplate(const ReportTemplate& tmpl, const ReportParams& params,
                   TRepCustomConnection* connection);

} // namespace kr90x::reports
