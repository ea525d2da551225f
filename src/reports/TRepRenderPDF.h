#pragma once

#include "reports/PageDescription.h"

#include <QString>

#include <functional>
#include <set>

namespace kr90x::reports {

// Writes a generated document as a PDF file: uncompressed streams, the text in Liberation
// Sans embedded as subsets (any letter the font holds prints as typed), pictures as JPEG
// images.
class TRepRenderPDF {
public:
    // Offered in file-type lists.
    static QString displayName() { return QStringLiteral("Adobe Acrobat (PDF)"); }
    static QString filePattern() { return QStringLiteral("*.pdf"); }

    int jpegQuality = 90;
    // Vector pictures are drawn into a bitmap at this resolution of their printed size.
    double pictureDpi = 300.0;

    // The PDF bytes; empty with `error` set when libharu fails.
    QByteArray render(const Document& document, QString* error = nullptr) const;
    // Writes the file, replacing one that exists; false with `error` set when it fails.
    bool renderToFile(const Document& document, const QString& fileName,
                      QString* error = nullptr) const;

    // Told once a run of each character that no font holds (printed as "?").
    std::function<void(const QString& line)> log;

private:
    void tellMissing(const std::set<char32_t>& missing) const;
    mutable std::set<char32_t> told_;
};

} // namespace kr90x::reports
