#pragma once

#include <QWidget>

namespace kr90x {

// The download progress bar: black while empty; once started a black-to-green body, a
// green-to-yellow filled share, one black column every 4 pixels, and the caption
// "Progress...[N%]" in bold blue outlined in cream.
class GradientProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit GradientProgressBar(QWidget* parent = nullptr);

    int Percent() const { return percent_; }
    // Values outside 0..100, or the value already held, change nothing.
    void setPercent(int percent);
    QString caption() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int percent_ = 0;
};

} // namespace kr90x
