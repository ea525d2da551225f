#pragma once

// Ways for the chart tests to look at what a chart drew: the texts, with where and in
// which font they went, and the pixels of a raster.

#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <QTransform>

#include "charts/ChartWidget.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace kr90x::test {

struct DrawnText {
    QString text;
    QPointF at; // baseline start in device pixels
    QFont font;
};

// A paint device that keeps every text drawn into it and nothing else.
class TextRecorder : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : size_(size), engine_(this) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    std::vector<DrawnText> texts;

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return size_.width();
        case PdmHeight:
            return size_.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(TextRecorder* owner) : QPaintEngine(AllFeatures), owner_(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override {
            if (state.state() & DirtyTransform) {
                transform_ = state.transform();
            }
        }
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            owner_->texts.push_back({item.text(), transform_.map(p), item.font()});
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawLines(const QLineF*, int) override {}
        void drawRects(const QRectF*, int) override {}
        void drawPoints(const QPointF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&,
                       Qt::ImageConversionFlags) override {}
        Type type() const override { return User; }

    private:
        TextRecorder* owner_;
        QTransform transform_;
    };

    QSize size_;
    mutable Engine engine_;
};

// Every text the chart draws at its own size, in drawing order.
class DrawnTexts {
public:
    explicit DrawnTexts(const charts::ChartWidget& chart) {
        TextRecorder recorder(chart.logicalSize());
        {
            QPainter p(&recorder);
            chart.paintChart(p, QRectF(QPointF(0, 0), chart.logicalSize()));
        }
        texts = std::move(recorder.texts);
    }
    std::vector<DrawnText> texts;
    const DrawnText* find(const QString& text) const {
        for (const DrawnText& t : texts) {
            if (t.text == text) {
                return &t;
            }
        }
        return nullptr;
    }
    // The text drawn in a font of this pixel size.
    const DrawnText* find(const QString& text, int pixelSize) const {
        for (const DrawnText& t : texts) {
            if (t.text == text && t.font.pixelSize() == pixelSize) {
                return &t;
            }
        }
        return nullptr;
    }
    int count(const QString& text) const {
        return int(std::count_if(texts.begin(), texts.end(),
                                 [&](const DrawnText& t) { return t.text == text; }));
    }
};

inline int countPixels(const QImage& image, const QRect& area,
                       const std::function<bool(QColor)>& match) {
    int n = 0;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += match(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return n;
}

inline std::function<bool(QColor)> near(QColor want, int tolerance = 2) {
    return [want, tolerance](QColor c) {
        return std::abs(c.red() - want.red()) <= tolerance &&
               std::abs(c.green() - want.green()) <= tolerance &&
               std::abs(c.blue() - want.blue()) <= tolerance;
    };
}

} // namespace kr90x::test
