// Renders both charts with plausible data into PNG files, to look at them without the
// tester: the compression chart, a 1,000-point high-pressure curve with its band, a
// zoomed part of it and an oil-pressure curve, each on screen scale and at 300 dpi.
// Usage: kr90x_chart_pictures [folder]   (default /tmp)
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "core/Cylinders.h"
#include "core/NumberFormat.h"

#include <QApplication>
#include <QDir>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace kr90x;
using namespace kr90x::charts;

namespace {

bool save(const QImage& image, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    const bool ok = image.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), image.width(),
                image.height());
    return ok;
}

// A common-rail pressure trace: a start-up ramp, a held plateau with ripple, a drop.
double railPressure(int i) {
    const double t = i / 1000.0;
    double base = t < 0.2 ? 300 + 1200 * (t / 0.2) : (t < 0.75 ? 1500 : 1500 - 2400 * (t - 0.75));
    base = std::max(base, 250.0);
    return std::round(base + 40 * std::sin(i * 0.21) + 15 * std::sin(i * 1.7));
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    // The program's separators after start, on a system that groups with a full stop.
    const FormatSettings format{QLatin1Char(','), QLatin1Char('.')};
    bool ok = true;

    CompressionChart bars(format);
    bars.resize(561, 369);
    bars.Series1.Clear();
    bars.setTitle(QStringLiteral("Petrol Compression"));
    const CylinderValues cylinders = {12.1, 11.8, 12.2, 12.0, 11.9, 12.05};
    for (std::size_t n = kCylinders; n >= 1; --n) {
        bars.Series1.AddBar(cylinders[n - 1], QStringLiteral("Cyl # %1").arg(n));
    }
    ok &= save(bars.renderImage(bars.size()), folder, "chart1-compression.png");
    ok &= save(bars.renderAtDpi(300), folder, "chart1-compression-300dpi.png");
    bars.addDemoBars();
    ok &= save(bars.renderImage(bars.size()), folder, "chart1-demo.png");

    PressureChart curve(format);
    curve.resize(561, 369);
    curve.setZoomAnimated(false);
    curve.setLeftAxisMinimum(0);
    curve.setLeftAxisMaximum(2000);
    curve.setTitle(QStringLiteral("Common rail high pressure (Bar)"));
    curve.Series2.Clear();
    curve.Series3.Clear();
    for (int i = 0; i < 1000; ++i) {
        curve.Series2.AddY(railPressure(i));
        curve.Series3.AddY(1050.0);
    }
    ok &= save(curve.renderImage(curve.size()), folder, "chart2-high-pressure.png");
    ok &= save(curve.renderAtDpi(300), folder, "chart2-high-pressure-300dpi.png");
    const QRectF plot = curve.plotRect();
    curve.zoomToRect(QRectF(plot.left() + plot.width() * 0.1, plot.top() + plot.height() * 0.15,
                            plot.width() * 0.25, plot.height() * 0.45));
    ok &= save(curve.renderImage(curve.size()), folder, "chart2-zoomed.png");

    curve.setLeftAxisMinimum(0);
    curve.setLeftAxisMaximum(80);
    curve.setTitle(QStringLiteral("Oil Pressure (Bar)"));
    curve.Series2.Clear();
    curve.Series3.Clear();
    for (int i = 0; i < 65534; ++i) {
        curve.Series2.AddY(std::round(350 + 120 * std::sin(i / 900.0) + 30 * std::sin(i * 0.9)) /
                           10.0);
    }
    ok &= save(curve.renderImage(curve.size()), folder, "chart2-oil-65534.png");
    return ok ? 0 : 1;
}
