// Drawing figures of both charts: a full repaint of the curve chart holding a complete
// 65,534-sample download at its window size, the 300 dpi rasters the PDF output embeds,
// the vector pictures of the reports, and the cost of appending one sample.
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "core/Cylinders.h"
#include "core/NumberFormat.h"

#include <QApplication>
#include <QMouseEvent>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <benchmark/benchmark.h>

#include <cmath>

using namespace kr90x;
using namespace kr90x::charts;

namespace {

const FormatSettings kFormat{QLatin1Char(','), QLatin1Char('.')};
constexpr int kLongestDownload = 65534;

double sample(int i) {
    return std::round(1200 + 400 * std::sin(i / 700.0) + 60 * std::sin(i * 0.37));
}

void fillHighPressure(PressureChart& chart, int points) {
    chart.setLeftAxisMinimum(0);
    chart.setLeftAxisMaximum(2000);
    chart.setTitle(QStringLiteral("Common rail high pressure (Bar)"));
    chart.Series2.Clear();
    chart.Series3.Clear();
    for (int i = 0; i < points; ++i) {
        chart.Series2.AddY(sample(i));
        chart.Series3.AddY(1050.0);
    }
}

void fillCompression(CompressionChart& chart) {
    chart.Series1.Clear();
    chart.setTitle(QStringLiteral("Petrol Compression"));
    const CylinderValues values = {12.1, 11.8, 12.2, 12.0, 11.9, 12.05};
    for (std::size_t n = kCylinders; n >= 1; --n) {
        chart.Series1.AddBar(values[n - 1], QStringLiteral("Cyl # %1").arg(n));
    }
}

// The paint routine into a window-sized raster, as the screen's backing store gets it.
void BM_CurvePaint(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    fillHighPressure(chart, static_cast<int>(state.range(0)));
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        chart.paintChart(p, QRectF(0, 0, 561, 369));
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["points"] = double(state.range(0));
}
BENCHMARK(BM_CurvePaint)->Arg(1000)->Arg(kLongestDownload)->Unit(benchmark::kMillisecond);

// The whole widget path: a synchronous repaint of the shown chart, window background
// and backing store included.
void BM_CurveWidgetRepaint(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    fillHighPressure(chart, kLongestDownload);
    chart.show();
    QApplication::processEvents();
    for (auto _ : state) {
        chart.repaint();
    }
}
BENCHMARK(BM_CurveWidgetRepaint)->Unit(benchmark::kMillisecond);

void BM_CurveRaster300dpi(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    fillHighPressure(chart, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QImage image = chart.renderAtDpi(300);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_CurveRaster300dpi)->Arg(1000)->Arg(kLongestDownload)->Unit(benchmark::kMillisecond);

void BM_CompressionRaster300dpi(benchmark::State& state) {
    CompressionChart chart(kFormat);
    chart.resize(561, 369);
    fillCompression(chart);
    for (auto _ : state) {
        QImage image = chart.renderAtDpi(300);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_CompressionRaster300dpi)->Unit(benchmark::kMillisecond);

void BM_CompressionPaint(benchmark::State& state) {
    CompressionChart chart(kFormat);
    chart.resize(561, 369);
    fillCompression(chart);
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        chart.paintChart(p, QRectF(0, 0, 561, 369));
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_CompressionPaint)->Unit(benchmark::kMillisecond);

// A right-button drag over the bar chart: the mouse move that scrolls it, and the paint
// that follows, as the screen gets them.
void BM_CompressionScrollMove(benchmark::State& state) {
    CompressionChart chart(kFormat);
    chart.resize(561, 369);
    fillCompression(chart);
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    const QPointF start(300, 200);
    QMouseEvent press(QEvent::MouseButtonPress, start, start, Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &press);
    int step = 0;
    for (auto _ : state) {
        const QPointF at = start + QPointF(step % 40, (step / 40) % 20);
        ++step;
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::RightButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&chart, &move);
        image.fill(Qt::white);
        QPainter p(&image);
        chart.paintChart(p, QRectF(0, 0, 561, 369));
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_CompressionScrollMove)->Unit(benchmark::kMicrosecond);

void BM_CurvePicture(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    fillHighPressure(chart, kLongestDownload);
    for (auto _ : state) {
        QPicture picture;
        chart.writeChartPicture(picture);
        benchmark::DoNotOptimize(picture.size());
    }
}
BENCHMARK(BM_CurvePicture)->Unit(benchmark::kMillisecond);

// A whole download's appends into the hidden chart, as the measurement code makes them:
// one curve point and one band point per sample.
void BM_CurveAppend(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    for (auto _ : state) {
        chart.Series2.Clear();
        chart.Series3.Clear();
        for (int i = 0; i < kLongestDownload; ++i) {
            chart.Series2.AddY(sample(i));
            chart.Series3.AddY(1050.0);
        }
        benchmark::DoNotOptimize(chart.Series2.Y.data());
    }
    state.SetItemsProcessed(state.iterations() * kLongestDownload);
}
BENCHMARK(BM_CurveAppend)->Unit(benchmark::kMillisecond);

// The same appends while the chart is shown: each schedules a repaint, none paints.
void BM_CurveAppendShown(benchmark::State& state) {
    PressureChart chart(kFormat);
    chart.resize(561, 369);
    chart.show();
    QApplication::processEvents();
    for (auto _ : state) {
        chart.Series2.Clear();
        chart.Series3.Clear();
        for (int i = 0; i < kLongestDownload; ++i) {
            chart.Series2.AddY(sample(i));
            chart.Series3.AddY(1050.0);
        }
        QApplication::processEvents(); // the one coalesced paint
    }
    state.SetItemsProcessed(state.iterations() * kLongestDownload);
}
BENCHMARK(BM_CurveAppendShown)->Unit(benchmark::kMillisecond);

} // namespace
