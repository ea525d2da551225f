// The program on a real window system: window titles as the window system reads them,
// the start with a window that is really shown and activated, and a real modal box.
#include "app/GradientProgressBar.h"
#include "app/QtDialogService.h"
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "charts/PressureChart.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "reports/TRepProject.h"
#include "reports/TRepSystem.h"
#include "simulator/VirtualTester.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kr90x;

namespace {

// A property of a window as xprop reads it from the X server: the text between the
// quotes of `NAME(TYPE) = "text"`.
QString windowProperty(QWidget& window, const char* property) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QString::fromLatin1(property)});
    if (!xprop.waitForFinished(10000)) {
        return QStringLiteral("(xprop did not answer)");
    }
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype first = out.indexOf(QLatin1Char('"'));
    const qsizetype last = out.lastIndexOf(QLatin1Char('"'));
    return first >= 0 && last > first ? out.mid(first + 1, last - first - 1) : out;
}

class WindowSystemTest : public ::testing::Test {
protected:
    AppState state;
    QtDialogService dialogs;
    VirtualHidPlatform hid;
    std::unique_ptr<TForm1> form;

    void makeForm() {
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        dialogs.setParentWindow(form.get());
        form->RepSystem1->listPrinters = [] { return std::vector<reports::PrinterEntry>{}; };
    }

    // Both names the window system keeps for a window's title.
    static std::vector<std::string> titles(QWidget& window) {
        return {windowProperty(window, "WM_NAME").toStdString(),
                windowProperty(window, "_NET_WM_NAME").toStdString()};
    }
};

} // namespace

TEST_F(WindowSystemTest, EveryWindowCarriesExactlyItsOwnTitle) {
    makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const std::string main = "Orvo KR90X pressure tester";
    EXPECT_EQ(titles(*form), (std::vector<std::string>{main, main}));

    // Each window over the main one as it stands open: its titles; then the modal ones
    // are answered ("Report Status" goes by itself once the page is made).
    std::vector<std::vector<std::string>> seen;
    std::vector<const QWidget*> looked;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* open : QApplication::topLevelWidgets()) {
            if (open == form.get() || !open->isVisible() || !open->windowHandle() ||
                !open->windowHandle()->isExposed() ||
                std::find(looked.begin(), looked.end(), open) != looked.end()) {
                continue;
            }
            looked.push_back(open);
            seen.push_back(titles(*open));
        }
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            modal && std::find(looked.begin(), looked.end(), modal) != looked.end()) {
            if (modal->windowTitle() == QStringLiteral("Output Options")) {
                modal->accept(); // Preview, as the dialog opens
            } else if (modal->windowTitle() != QStringLiteral("Report Status")) {
                modal->reject();
            }
        }
    });
    look.start();
    dialogs.information(QStringLiteral("A message"));
    form->chart1->addDemoBars();
    state.CompletedFunction = 0;
    form->btnReportClick(form->btnReport); // "Output Options", then the preview
    look.stop();
    using Titles = std::vector<std::string>;
    std::erase(seen, Titles{"Report Status", "Report Status"}); // shown while the page is made
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (Titles{"Information", "Information"}));
    EXPECT_EQ(seen[1], (Titles{"Output Options", "Output Options"}));
    EXPECT_EQ(seen[2], (Titles{"Report Preview", "Report Preview"}));
}

// The window is activated (the log is cleared, the update check starts), and only then
// does the first device pass write what it found.
TEST_F(WindowSystemTest, TheFirstDevicePassFollowsTheActivation) {
    auto tester = VirtualTester::create();
    hid.plug(tester->device());
    makeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return form->isActiveWindow() && state.TesterDevice; }));
    test::drainEvents();
    EXPECT_EQ(form->log().lines().first().toStdString(), "Orvo tester detected ...");
}

TEST_F(WindowSystemTest, WithoutATesterTheWaitingLineSurvivesTheActivation) {
    makeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] {
        return form->isActiveWindow() &&
               form->log().lines().contains(QStringLiteral("Waiting for device ...."));
    }));
    test::drainEvents();
    EXPECT_EQ(form->log().lines(),
              (QStringList{"Conexion a internet no disponible!", "Waiting for device ...."}));
}

// Without a window manager nothing activates the window: the tester is found anyway.
TEST_F(WindowSystemTest, AWindowThatIsNeverActivatedStillFindsItsTester) {
    auto tester = VirtualTester::create();
    hid.plug(tester->device());
    makeForm();
    form->show();
    ASSERT_TRUE(test::waitFor([&] { return state.TesterDevice != nullptr; }, 10000));
    EXPECT_EQ(form->log().lines().first(), QStringLiteral("Orvo tester detected ..."));
}

// Tab goes Read data, Report, the radio group (its chosen item), Home, then Vehicle… and
// Records…, whichever item the user chose.
TEST_F(WindowSystemTest, TabFollowsAReadWhateverFunctionIsChosen) {
    makeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return form->isActiveWindow(); }));
    form->btnReaddata->setEnabled(true);
    form->btnReport->setEnabled(true);
    for (int chosen : {0, 3, 8}) {
        QTest::mouseClick(form->RadioGroup1->item(chosen), Qt::LeftButton);
        ASSERT_EQ(form->RadioGroup1->itemIndex(), chosen);
        form->btnReaddata->setFocus();
        std::vector<std::string> order;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            order.push_back(now == form->RadioGroup1->item(chosen)
                                ? "chosen item"
                                : now->objectName().toStdString());
        }
        EXPECT_EQ(order, (std::vector<std::string>{"btnReport", "chosen item", "btnHome",
                                                   "btnVehicle", "btnRecords", "btnReaddata"}))
            << "chosen " << chosen;
    }
}

// The keyboard alone: Enter presses the focused button, Alt+V and Alt+R the records'.
TEST_F(WindowSystemTest, EnterPressesTheFocusedButtonAndTheRecordsButtonsHaveMnemonics) {
    makeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return form->isActiveWindow(); }));
    int homes = 0;
    int vehicles = 0;
    int records = 0;
    QObject::connect(form->btnHome, &QPushButton::clicked, [&] { ++homes; });
    QObject::connect(form->btnVehicle, &QPushButton::clicked, [&] { ++vehicles; });
    QObject::connect(form->btnRecords, &QPushButton::clicked, [&] { ++records; });
    // Without records or a result, each records button answers with a box: closed here.
    QTimer boxes;
    boxes.setInterval(20);
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            box->reject();
        }
    });
    boxes.start();
    form->btnHome->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(test::waitFor([&] { return homes == 1; }));
    QTest::keyClick(form.get(), Qt::Key_R, Qt::AltModifier);
    ASSERT_TRUE(test::waitFor([&] { return records == 1; }));
    form->activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return form->isActiveWindow(); }));
    QTest::keyClick(form.get(), Qt::Key_V, Qt::AltModifier);
    ASSERT_TRUE(test::waitFor([&] { return vehicles == 1; }));
}

// A real time-out box keeps the event loop running: the late count starts the download
// behind it. Closing the box must not offer a second read beside the one that runs, and
// the curve comes whole.
TEST_F(WindowSystemTest, ADownloadStartedBehindARealTimeOutBoxKeepsReadDataDisabled) {
    auto tester = VirtualTester::create();
    tester->options.delay = std::chrono::milliseconds(70);
    tester->options.samples = 8;
    hid.plug(tester->device());
    makeForm();
    form->Timer1->setInterval(40);
    form->show();
    ASSERT_TRUE(test::waitFor([&] { return state.DeviceFirmwareVersion == 12; }, 10000));

    bool downloadBehindBox = false;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (box && box->isVisible() && form->pb1->isVisible()) {
            downloadBehindBox = true;
            box->reject();
        }
    });
    look.start();
    form->RadioGroup1->setItemIndex(3); // turbo
    form->btnReaddata->click();
    ASSERT_TRUE(test::waitFor([&] { return downloadBehindBox; }, 10000));
    look.stop();
    test::drainEvents();
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return form->Chart2->isVisible(); }, 10000));
    EXPECT_EQ(form->Chart2->Series2.Count(), 7);
    EXPECT_FALSE(form->btnReaddata->isEnabled());
}
