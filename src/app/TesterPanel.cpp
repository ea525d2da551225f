#include "app/TesterPanel.h"

#include "app/VirtualTesterSession.h"
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
    firmware = spin(this, 0, 999, o.firmware);
    samples = spin(this, -1, 99999, o.samples.value_or(-1));
    samples->setSpecialValueText(QStringLiteral("each curve's own"));
    weakCylinder = new QComboBox(this);
    weakCylinder->addItem(QStringLiteral("none"));
    for (int c = 1; c <= 6; ++c) {
        weakCylinder->addItem(QStringLiteral("cylinder %1").arg(c));
    }
    weakCylinder->setCurrentIndex(o.weakCylinder.value_or(0));
    silent = new QCheckBox(QStringLiteral("answers nothing"), this);
    garbage = new QCheckBox(QStringLiteral("letters in numbers"), this);
    shortReports = new QCheckBox(QStringLiteral("reports cut short"), this);
    wrongPrefix = new QCheckBox(QStringLiteral("replies start KR90Y"), this);
    noAccess = new QCheckBox(QStringLiteral("no access (next plug)"), this);
    silent->setChecked(o.silent);
    garbage->setChecked(o.garbage);
    shortReports->setChecked(o.shortReports);
    wrongPrefix->setChecked(o.wrongPrefix);
    noAccess->setChecked(o.noAccess);
    delay = spin(this, 0, 60000, static_cast<int>(o.delay.count()), QStringLiteral(" ms"));
    pace = spin(this, 0, 1000, static_cast<int>(o.pace.count()), QStringLiteral(" ms"));

    auto* form = new QFormLayout(this); // owned by the panel
    // Labels above their fields: narrow enough to stand beside the window.
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    form->addRow(plugButton);
    form->addRow(QStringLiteral("Holds"), storedTest);
    form->addRow(QStringLiteral("Firmware"), firmware);
    form->addRow(QStringLiteral("Sample count"), samples);
    form->addRow(QStringLiteral("Weak"), weakCylinder);
    form->addRow(QStringLiteral("Delay per reply"), delay);
    form->addRow(QStringLiteral("Time per report"), pace);
    for (QCheckBox* box : {silent, garbage, shortReports, wrongPrefix, noAccess}) {
        form->addRow(box);
        connect(box, &QCheckBox::toggled, this, [this] { apply(); });
    }
    for (QSpinBox* box : {firmware, samples, delay, pace}) {
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
    o.stored = static_cast<StoredTest>(storedTest->currentIndex());
    o.firmware = firmware->value();
    o.samples = samples->value() < 0 ? std::nullopt : std::optional<int>(samples->value());
    o.weakCylinder = weakCylinder->currentIndex() == 0
                         ? std::nullopt
                         : std::optional<int>(weakCylinder->currentIndex());
    o.silent = silent->isChecked();
    o.garbage = garbage->isChecked();
    o.shortReports = shortReports->isChecked();
    o.wrongPrefix = wrongPrefix->isChecked();
    o.noAccess = noAccess->isChecked();
    o.delay = std::chrono::milliseconds(delay->value());
    o.pace = std::chrono::milliseconds(pace->value());
}

} // namespace kr90x
