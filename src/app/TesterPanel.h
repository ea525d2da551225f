#pragma once

#include <QWidget>

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

    QPushButton* plugButton = nullptr;
    QComboBox* storedTest = nullptr;
    QSpinBox* firmware = nullptr;
    QSpinBox* samples = nullptr; // at its minimum: each curve's own count
    QComboBox* weakCylinder = nullptr;
    QCheckBox* silent = nullptr;
    QCheckBox* garbage = nullptr;
    QCheckBox* shortReports = nullptr;
    QCheckBox* wrongPrefix = nullptr;
    QCheckBox* noAccess = nullptr;
    QSpinBox* delay = nullptr;
    QSpinBox* pace = nullptr;

private:
    void apply();

    VirtualTesterSession& session_;
};

} // namespace kr90x
