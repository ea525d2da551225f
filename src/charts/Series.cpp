#include "charts/Series.h"

namespace kr90x::charts {

BarSeries::BarSeries(QColor colour, ChangeNotice changed)
    : SeriesColor(colour), changed_(std::move(changed)) {}

void BarSeries::Clear() {
    Bar.clear();
    Y.clear();
    Labels.clear();
    if (changed_) {
        changed_();
    }
}

int BarSeries::AddBar(double value, const QString& label, QColor) {
    Y.push_back(static_cast<double>(Bar.size()));
    Bar.push_back(value);
    Labels.push_back(label);
    if (changed_) {
        changed_();
    }
    return Count() - 1;
}

PointSeries::PointSeries(QColor colour, ChangeNotice changed)
    : SeriesColor(colour), changed_(std::move(changed)) {}

void PointSeries::Clear() {
    X.clear();
    Y.clear();
    if (changed_) {
        changed_();
    }
}

int PointSeries::AddY(double y, const QString&, QColor) {
    X.push_back(static_cast<double>(X.size()));
    Y.push_back(y);
    if (changed_) {
        changed_();
    }
    return Count() - 1;
}

void PointSeries::setY(std::span<const double> ys) {
    Y.assign(ys.begin(), ys.end());
    X.resize(ys.size());
    for (std::size_t i = 0; i < X.size(); ++i) {
        X[i] = static_cast<double>(i);
    }
    if (changed_) {
        changed_();
    }
}

void PointSeries::reserve(std::size_t n) {
    X.reserve(n);
    Y.reserve(n);
}

} // namespace kr90x::charts
