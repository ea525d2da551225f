#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace kr90x {

class VirtualTesterSession;

// The virtual tester's own small window: plugs the tester in and pulls it out, and
// changes what it holds and how it answers while the program runs, so that a trainer can
// show every message without starting again.
class TesterPanel : public QWidget {
    Q_OBJECT
public:
    TesterPanel(VirtualTesterSession& session, QWidget* window);

    // Shows the session as it is now (after a pull-out the tester asked for itself).
    void refresh();

    // The faults the tester can show, one box each.
    enum Fault { Silent, Garbage, ShortReports, WrongPrefix, NoAccess, kFaults };

    QPushButton* plugButton = nullptr;
    QComboBox* storedTest = nullptr;
    QComboBox* weakCylinder = nullptr;
    std::array<QCheckBox*, kFaults> faults{};
    // The numbers it holds; the sample count at its minimum is each curve's own.
    enum Number { Firmware, Samples, Delay, Pace, kNumbers };
    std::array<QSpinBox*, kNumbers> numbers{};

private:
    void apply();

    VirtualTesterSession& session_;
};

} // namespace kr90x
