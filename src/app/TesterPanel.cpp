#include "app/TesterPanel.h"

#include "app/VirtualTesterSession.h"
#include "core/Cylinders.h"
#include "simulator/VirtualTester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace kr90x {
namespace {

QSpinBox* spin(QWidget* parent, int low, int high, int value, const QString& suffix = {}) {
    auto* s = new QSpinBox(parent); // owned by the panel
    s->setRange(low, high);
    s->setValue(value);
    s->setSuffix(suffix);
    return s;
}

} // namespace

TesterPanel::TesterPanel(VirtualTesterSession& session, QWidget* window)
    : QWidget(window, Qt::Tool), session_(session) {
    setWindowTitle(QStringLiteral("Virtual tester"));
    const TesterOptions& o = session.tester().options;

    plugButton = new QPushButton(this); // owned by the panel, as every control below
    storedTest = new QComboBox(this);
    storedTest->addItems(
        {QStringLiteral("Common rail high pressure"), QStringLiteral("Oil pressure"),
         QStringLiteral("Low pressure common rail"), QStringLiteral("80 Bar manometer")});
    storedTest->setCurrentIndex(static_cast<int>(o.stored));
    numbers[Firmware] = spin(this, 0, 999, o.firmware);
    numbers[Samples] = spin(this, -1, 99999, o.samples.value_or(-1));
    numbers[Samples]->setSpecialValueText(QStringLiteral("each curve's own"));
    numbers[Delay] = spin(this, 0, 60000, static_cast<int>(o.delay.count()), QStringLiteral(" ms"));
    numbers[Pace] = spin(this, 0, 1000, static_cast<int>(o.pace.count()), QStringLiteral(" ms"));
    weakCylinder = new QComboBox(this);
    weakCylinder->addItem(QStringLiteral("none"));
    for (std::size_t c = 1; c <= kCylinders; ++c) {
        weakCylinder->addItem(QStringLiteral("cylinder %1").arg(c));
    }
    weakCylinder->setCurrentIndex(o.weakCylinder.value_or(0));
    const std::array<std::pair<QString, bool>, kFaults> faultBoxes = {{
        {QStringLiteral("answers nothing"), o.silent},
        {QStringLiteral("letters in numbers"), o.garbage},
        {QStringLiteral("reports cut short"), o.shortReports},
        {QStringLiteral("replies start KR90Y"), o.wrongPrefix},
        {QStringLiteral("no access (next plug)"), o.noAccess},
    }};
    for (int f = 0; f < kFaults; ++f) {
        faults[f] = new QCheckBox(faultBoxes[f].first, this);
        faults[f]->setChecked(faultBoxes[f].second);
    }

    auto* form = new QFormLayout(this); // owned by the panel
    // Labels above their fields: narrow enough to stand beside the window.
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    form->addRow(plugButton);
    form->addRow(QStringLiteral("Holds"), storedTest);
    form->addRow(QStringLiteral("Firmware"), numbers[Firmware]);
    form->addRow(QStringLiteral("Sample count"), numbers[Samples]);
    form->addRow(QStringLiteral("Weak"), weakCylinder);
    form->addRow(QStringLiteral("Delay per reply"), numbers[Delay]);
    form->addRow(QStringLiteral("Time per report"), numbers[Pace]);
    for (QCheckBox* box : faults) {
        form->addRow(box);
        connect(box, &QCheckBox::toggled, this, [this] { apply(); });
    }
    for (QSpinBox* box : numbers) {
        connect(box, &QSpinBox::valueChanged, this, [this] { apply(); });
    }
    for (QComboBox* box : {storedTest, weakCylinder}) {
        connect(box, &QComboBox::currentIndexChanged, this, [this] { apply(); });
    }
    connect(plugButton, &QPushButton::clicked, this, [this] {
        if (session_.plugged()) {
            session_.unplug();
        } else {
            session_.plug();
        }
        refresh();
    });
    refresh();
}

void TesterPanel::refresh() {
    plugButton->setText(session_.plugged() ? QStringLiteral("Pull the tester out")
                                           : QStringLiteral("Plug the tester in"));
}

// Every change holds from the next command on, as on a tester the mechanic set up again.
void TesterPanel::apply() {
    TesterOptions& o = session_.tester().options;
    const auto given = [](int value) {
        return value > 0 ? std::optional<int>(value) : std::nullopt;
    };
    o.stored = static_cast<StoredTest>(storedTest->currentIndex());
    o.firmware = numbers[Firmware]->value();
    o.samples = numbers[Samples]->value() < 0 ? std::nullopt
                                              : std::optional<int>(numbers[Samples]->value());
    o.weakCylinder = given(weakCylinder->currentIndex());
    o.silent = faults[Silent]->isChecked();
    o.garbage = faults[Garbage]->isChecked();
    o.shortReports = faults[ShortReports]->isChecked();
    o.wrongPrefix = faults[WrongPrefix]->isChecked();
    o.noAccess = faults[NoAccess]->isChecked();
    o.delay = std::chrono::milliseconds(numbers[Delay]->value());
    o.pace = std::chrono::milliseconds(numbers[Pace]->value());
}

} // namespace kr90x
