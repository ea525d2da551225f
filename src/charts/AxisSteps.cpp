#include "charts/AxisSteps.h"

#include <QStringList>

#include <cmath>

namespace kr90x::charts {

QFont arialFont(int pixelSize, bool bold) {
    QFont f;
    f.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QString chartNumber(double value, const FormatSettings& format) {
    return formatFloat(kChartNumberPicture, value, format);
}

double nextLabelStep(double step) {
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / decade;
    if (mantissa < 1.5) {
        return 2 * decade;
    }
    if (mantissa < 3.5) {
        return 5 * decade;
    }
    return 10 * decade;
}

double chooseLabelStep(double span, double firstStep, double mostLabels,
                       const std::function<bool(double)>& fits) {
    double step = firstStep;
    if (!std::isfinite(span) || !(span > 0)) {
        return step;
    }
    const double least = span / std::max(1.0, mostLabels);
    if (least > step) {
        // The power of ten at or below the least step: at most three steps short of it.
        step = std::max(step, std::pow(10.0, std::floor(std::log10(least))));
    }
    for (int i = 0; i < 1000 && step < span && !fits(step); ++i) {
        step = nextLabelStep(step);
    }
    return step;
}

} // namespace kr90x::charts
