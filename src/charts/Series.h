#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <vector>

namespace kr90x::charts {

// A series tells its chart that it changed; the chart then schedules one repaint, so a
// burst of additions costs one paint, not one per point.
using ChangeNotice = std::function<void()>;

// The bars of the compression chart: one per added value, in the order of adding. Bar n
// (from 0) stands at position n of the vertical axis, so adding never reorders the bars.
class BarSeries {
public:
    explicit BarSeries(QColor colour, ChangeNotice changed = {});

    // Removes every bar.
    void Clear();
    // Appends a bar and returns its index. Every bar wears the series colour; the colour
    // argument is taken for the callers' sake and must be that colour.
    int AddBar(double value, const QString& label, QColor colour);
    int AddBar(double value, const QString& label) { return AddBar(value, label, SeriesColor); }

    int Count() const { return static_cast<int>(Bar.size()); }

    const QColor SeriesColor;
    std::vector<double> Bar; // the bar values, no ordering
    std::vector<double> Y;   // the bar positions, ascending
    QStringList Labels;

private:
    ChangeNotice changed_;
};

// Points (x, y) of the curve chart. x is the number of points already in the series when
// the point came, so X stays ascending, which the drawing relies on to find the visible
// points by bisection.
class PointSeries {
public:
    explicit PointSeries(QColor colour, ChangeNotice changed = {});

    void Clear();
    // Appends a point at the next x and returns its index. Cheap: one amortised append
    // to each list and a scheduled (not immediate) repaint. Points carry no label and
    // no colour of their own; the arguments are there for the callers' sake.
    int AddY(double y, const QString& label, QColor colour);
    int AddY(double y) { return AddY(y, QString(), SeriesColor); }
    // Room for n points, for a caller that knows how many will come.
    void reserve(std::size_t n);
    // Every point at once, in place of those there were: one change, one repaint.
    void setY(std::span<const double> ys);

    int Count() const { return static_cast<int>(X.size()); }
    bool isEmpty() const { return X.empty(); }

    const QColor SeriesColor;
    std::vector<double> X; // ascending
    std::vector<double> Y; // no ordering

private:
    ChangeNotice changed_;
};

} // namespace kr90x::charts
