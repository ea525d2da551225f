#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

namespace kr90x {

// A status bar of fixed-width text panels, each in a sunken frame. Panels that reach
// past the right edge are cut off there.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanels(std::vector<int> widths, QWidget* parent = nullptr);

    int panelCount() const { return static_cast<int>(widths_.size()); }
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> widths_;
    QStringList texts_;
};

} // namespace kr90x
