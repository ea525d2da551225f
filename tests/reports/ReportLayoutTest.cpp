// Where every element of both templates lands, on the generated page and in the PDF's
// content stream; the pictures' JPEG quality; texts outside Windows-1252 in a PDF.
#include "ReportFixture.h"

#include "reports/TRepRenderPDF.h"

#include <QFile>
#include <QRegularExpression>

using namespace kr90x;
using namespace kr90x::reports;
using namespace kr90x::test;

namespace {

// The templates' layout tables, in millimetres: left, top, width, height as printed (0
// where the table gives none: a line's other extent, a text's height).
struct Expected {
    const char* name;
    ItemKind kind;
    double left, top, width, height;
};

// The frame, the header's rule, the logo and the address block are the same in both.
const Expected kFrame{"Rectangle1", ItemKind::Rectangle, 5.6, 6.2, 198.5, 284.9};
const Expected kHeaderRule{"HLine1", ItemKind::HLine, 5.6, 30.5, 198.5, 0};
const Expected kLogo{"Bitmap1", ItemKind::Bitmap, 15.2, 12.0, 61.0, 14.9};
const Expected kAddress{"Memo1", ItemKind::Memo, 66.0, 269.9, 76.2, 20.3};

const std::vector<Expected> kCompression = {
    kFrame,
    {"Texto", ItemKind::Text, 79.1, 63.7, 53.3, 0},
    {"DataText1", ItemKind::Text, 79.1, 71.8, 53.3, 0},
    {"DataText2", ItemKind::Text, 79.1, 79.9, 53.3, 0},
    {"DataText3", ItemKind::Text, 79.1, 88.1, 53.3, 0},
    {"DataText4", ItemKind::Text, 79.1, 96.2, 53.3, 0},
    {"DataText5", ItemKind::Text, 79.1, 104.3, 53.3, 0},
    kHeaderRule,
    {"HLine2", ItemKind::HLine, 5.6, 266.2, 198.3, 0},
    {"Text1", ItemKind::Text, 85.1, 15.7, 116.8, 0},
    kLogo,
    {"VLine1", ItemKind::VLine, 84.1, 6.5, 0, 24.0},
    {"MetaFile1", ItemKind::Picture, 39.9, 141.6, 129.7, 85.3},
    kAddress,
};

const std::vector<Expected> kPressure = {
    kFrame,
    kHeaderRule,
    {"HLine2", ItemKind::HLine, 5.6, 266.2, 198.4, 0},
    kLogo,
    {"VLine1", ItemKind::VLine, 84.1, 6.3, 0, 24.2},
    {"MetaFile1", ItemKind::Picture, 14.9, 91.6, 182.2, 119.8},
    kAddress,
    {"DataText1", ItemKind::Text, 85.0, 15.0, 117.9, 0},
};

double pt(double mm) {
    return mm * kPointsPerInch / kMmPerInch;
}

// What the PDF's uncompressed content stream draws, with the numbers it draws it at.
struct Drawn {
    QString op; // "re", "l" (a line from m to l), "cm" (an image), "Td" (a text)
    std::vector<double> at;
};

std::vector<Drawn> contentOf(const QByteArray& pdf) {
    std::vector<Drawn> drawn;
    std::vector<double> operands;
    std::vector<double> moveTo;
    static const QRegularExpression token(QStringLiteral(R"(\((?:\\.|[^\\)])*\)|\S+)"));
    const QString text = QString::fromLatin1(pdf);
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const QString t = it.next().captured(0);
        bool number = false;
        const double v = t.toDouble(&number);
        if (number) {
            operands.push_back(v);
            continue;
        }
        if (t == QLatin1String("m")) {
            moveTo = operands;
        } else if (t == QLatin1String("l") && operands.size() == 2 && moveTo.size() == 2) {
            drawn.push_back({t, {moveTo[0], moveTo[1], operands[0], operands[1]}});
        } else if ((t == QLatin1String("re") && operands.size() == 4) ||
                   (t == QLatin1String("cm") && operands.size() == 6) ||
                   (t == QLatin1String("Td") && operands.size() == 2)) {
            drawn.push_back({t, operands});
        }
        operands.clear();
    }
    return drawn;
}

class ReportLayoutTest : public ReportFixture {
protected:
    Page page(TRepProject& project) {
        project.Open();
        Page p = project.generatePage();
        project.Close();
        return p;
    }
    QByteArray pdfOf(const Page& p, const QString& name) {
        Document document;
        document.pages.push_back(p);
        const QString file = path(name);
        EXPECT_TRUE(form->RepRenderPDF1->renderToFile(document, file));
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every element on the page and in the PDF where its table puts it.
    void expectLayout(const Page& p, const std::vector<Expected>& table, const QString& name) {
        ASSERT_EQ(p.items.size(), table.size()) << name.toStdString();
        for (std::size_t i = 0; i < table.size(); ++i) {
            const Expected& e = table[i];
            const QRectF& r = p.items[i].mm;
            EXPECT_EQ(p.items[i].kind, e.kind) << e.name;
            EXPECT_NEAR(r.left(), e.left, 1e-9) << e.name;
            EXPECT_NEAR(r.top(), e.top, 1e-9) << e.name;
            if (e.width > 0) {
                EXPECT_NEAR(r.width(), e.width, 1e-9) << e.name;
            }
            if (e.height > 0) {
                EXPECT_NEAR(r.height(), e.height, 0.05) << e.name; // pictures: to 0.1 mm
            }
        }

        const std::vector<Drawn> drawn = contentOf(pdfOf(p, name));
        const double page = pt(kA4HeightMm);
        const auto find = [&](const char* op, const std::function<bool(const Drawn&)>& is) {
            return std::count_if(drawn.begin(), drawn.end(), [&](const Drawn& d) {
                       return d.op == QLatin1String(op) && is(d);
                   }) == 1;
        };
        const auto near = [](double a, double b, double tolerance = 0.01) {
            return std::abs(a - b) <= tolerance;
        };
        for (std::size_t i = 0; i < table.size(); ++i) {
            const Expected& e = table[i];
            const double x = pt(e.left), y = page - pt(e.top);
            bool found = true;
            switch (e.kind) {
            case ItemKind::Rectangle:
                found = find("re", [&](const Drawn& d) {
                    return near(d.at[0], x) && near(d.at[1], y - pt(e.height)) &&
                           near(d.at[2], pt(e.width)) && near(d.at[3], pt(e.height));
                });
                break;
            case ItemKind::HLine:
                found = find("l", [&](const Drawn& d) {
                    return near(d.at[0], x) && near(d.at[1], y) && near(d.at[2], x + pt(e.width)) &&
                           near(d.at[3], y);
                });
                break;
            case ItemKind::VLine:
                found = find("l", [&](const Drawn& d) {
                    return near(d.at[0], x) && near(d.at[1], y) && near(d.at[2], x) &&
                           near(d.at[3], y - pt(e.height));
                });
                break;
            case ItemKind::Bitmap:
            case ItemKind::Picture:
                // w 0 0 h x y cm: the image's lower left corner and its size.
                found = find("cm", [&](const Drawn& d) {
                    return near(d.at[0], pt(e.width)) && near(d.at[3], pt(e.height), pt(0.05)) &&
                           near(d.at[4], x) && near(d.at[5], y - d.at[3]);
                });
                break;
            case ItemKind::Text: {
                // The first line's baseline lies 0.905 em below its top; a left-justified
                // text starts at its left edge, a centred one somewhere inside.
                const double size = p.items[i].font.pointSize;
                const bool centred = p.items[i].align == HAlign::Centre;
                found = p.items[i].lines.value(0).isEmpty() || find("Td", [&](const Drawn& d) {
                            return near(d.at[1], y - size * kTextAscentEm) &&
                                   (centred ? d.at[0] > x && d.at[0] < x + pt(e.width) / 2
                                            : near(d.at[0], x));
                        });
                break;
            }
            case ItemKind::Memo:
                break; // four centred lines: placed as the texts are
            }
            EXPECT_TRUE(found) << name.toStdString() << ": " << e.name << " not where it belongs";
        }
    }
};

} // namespace

TEST_F(ReportLayoutTest, EveryElementLiesWhereItsTemplateTablePutsIt) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    expectLayout(page(*form->RepProject1), kCompression, QStringLiteral("compression.pdf"));
    curveResult(6, 300);
    form->RepProject2->setParam(QStringLiteral("Titulo"), QStringLiteral("OIL PRESSURE TEST"));
    expectLayout(page(*form->RepProject2), kPressure, QStringLiteral("pressure.pdf"));
}

TEST_F(ReportLayoutTest, ThePicturesAreJpegsOfQualityNinety) {
    compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
    const QString file = reportToPdf(QStringLiteral("quality.pdf"));
    const QString prefix = dir.filePath(QStringLiteral("picture"));
    runTool(QStringLiteral("pdfimages"), {QStringLiteral("-j"), file, prefix});
    for (const char* picture : {"-000.jpg", "-001.jpg"}) {
        // ImageMagick estimates the quality from the quantisation tables.
        EXPECT_EQ(
            runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%Q"),
                                                 prefix + QString::fromLatin1(picture)})
                .trimmed(),
            QStringLiteral("90"))
            << picture;
    }
}

TEST_F(ReportLayoutTest, LettersNoFontHoldsBecomeQuestionMarksInAWholePdf) {
    const QStringList lines = {
        QStringLiteral("Citroën Ñandú – Nº 4 · 12 €"), QStringLiteral("Škoda Œuvre ‰ “Ü”"),
        QStringLiteral("Ω kPa \U0001F697 end"), QString(QChar(0xD800)) + QStringLiteral(" lone")};
    curveResult(6, 10);
    form->RepProject2->setParam(QStringLiteral("Titulo"), lines[0]);
    Page p = page(*form->RepProject2);
    PageItem memo;
    memo.kind = ItemKind::Memo;
    memo.mm = QRectF(20, 220, 170, 30);
    memo.lines = lines.mid(1);
    p.items.push_back(memo);
    pdfOf(p, QStringLiteral("texts.pdf"));
    const QString file = path(QStringLiteral("texts.pdf"));
    EXPECT_FALSE(runTool(QStringLiteral("pdfinfo"), {file}).isEmpty());
    const QString text = runTool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Citroën Ñandú – Nº 4 · 12 €"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Škoda Œuvre ‰ “Ü”"))) << text.toStdString();
    // One "?" for each character no font holds, the car (two UTF-16 units) included.
    EXPECT_TRUE(text.contains(QStringLiteral("Ω kPa ? end"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("? lone"))) << text.toStdString();
}
