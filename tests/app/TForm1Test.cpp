#include "app/TForm1.h"
#include "app/GradientProgressBar.h"
#include "app/RadioGroup.h"
#include "app/StatusPanels.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/RecordingDialogService.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace kr90x;

namespace {

struct Control {
    const char* name;
    QRect geometry;
    bool visible;
    bool enabled;
};

// The window's controls in creation order, as the user must find them.
const std::vector<Control> kControls = {
    {"imgUsb", {8, 8, 100, 34}, true, true},
    {"pb1", {49, 408, 704, 25}, false, true},
    {"Image1", {281, 159, 464, 127}, true, true},
    {"StatusBar", {0, 484, 800, 19}, true, true},
    {"Memo1", {376, 8, 402, 337}, false, true},
    {"btnReaddata", {347, 448, 121, 25}, true, false},
    {"chart1", {224, 24, 561, 369}, false, true},
    {"btn1", {554, 399, 121, 25}, false, false},
    {"btnReport", {518, 448, 121, 25}, true, false},
    {"btn3", {681, 399, 121, 25}, false, false},
    {"RadioGroup1", {8, 48, 185, 200}, true, true},
    {"btnHome", {176, 448, 121, 25}, true, true},
    {"Chart2", {224, 24, 561, 369}, false, true},
    {"btn2", {110, 254, 104, 25}, false, true},
    {"btn4", {0, 254, 104, 25}, false, true},
    {"btn5", {110, 285, 104, 25}, false, true},
    {"btn6", {0, 285, 104, 25}, false, true},
    {"btnUpdater", {126, 8, 75, 25}, false, true},
    {"btnEEPROM", {681, 448, 97, 25}, false, true},
};

class TForm1Test : public ::testing::Test {
protected:
    AppState state;
    test::RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::unique_ptr<TForm1> form;

    void SetUp() override {
        // A system whose locale writes decimals with a comma and groups with a full stop.
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        form->show();
    }
};

bool sameImage(const QPixmap& shown, const QString& resource) {
    return shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
           QImage(resource).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

TEST_F(TForm1Test, EveryControlIsWhereTheLayoutPutsItInCreationOrder) {
    std::vector<QString> order;
    for (QObject* child : form->children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->objectName().isEmpty()) {
            order.push_back(w->objectName());
        }
    }
    ASSERT_EQ(order.size(), kControls.size());
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const Control& c = kControls[i];
        EXPECT_EQ(order[i], QLatin1String(c.name)) << "creation order at " << i;
        auto* w = form->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        EXPECT_EQ(w->isVisible(), c.visible) << c.name;
        EXPECT_EQ(w->isEnabled(), c.enabled) << c.name;
    }
    EXPECT_EQ(form->btnReaddata->text(), QStringLiteral("Read data"));
    EXPECT_EQ(form->btn1->text(), QStringLiteral("Gráfico"));
    EXPECT_EQ(form->btn4->text(), QStringLiteral("Desonectar FTP"));
    EXPECT_EQ(form->btnEEPROM->text(), QStringLiteral("Read EEPROM"));
}

TEST_F(TForm1Test, WindowIsFixedSizeWithoutMaximiseAndTitled) {
    EXPECT_EQ(form->size(), QSize(800, 503));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvo KR90X pressure tester"));
    EXPECT_EQ(form->objectName(), QStringLiteral("Form1"));
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(TForm1Test, StartStateShowsVersionWithAFullStopAndThenUsesTheComma) {
    EXPECT_EQ(form->StatusBar->panelCount(), 2);
    EXPECT_EQ(form->StatusBar->panelText(0), QString());
    EXPECT_EQ(form->StatusBar->panelText(1), QStringLiteral("Version 1.04"));
    EXPECT_EQ(formatText(u"%.1f", {12.5}, state.Format), QStringLiteral("12,5"));

    // Also when the system writes decimals with a full stop.
    AppState other;
    other.Format = FormatSettings{QLatin1Char('.'), QLatin1Char(',')};
    TForm1 second(other, dialogs, hid, UpdateSettings{});
    EXPECT_EQ(second.StatusBar->panelText(1), QStringLiteral("Version 1.04"));
    EXPECT_EQ(formatText(u"%.1f", {12.5}, other.Format), QStringLiteral("12,5"));
    EXPECT_EQ(other.Format.ThousandSeparator, QLatin1Char(','));
}

TEST_F(TForm1Test, StartsWithGreyUsbLogoMakersLogoAndTheLogHidden) {
    EXPECT_TRUE(sameImage(form->imgUsb->pixmap(), QStringLiteral(":/res/USB_Logo_BN")));
    EXPECT_EQ(form->Image1->pixmap().size(), QSize(450, 110));
    EXPECT_EQ(form->log().lines(), QStringList{QStringLiteral("Memo1")});
    EXPECT_EQ(form->RadioGroup1->itemIndex(), 0);
    EXPECT_EQ(form->RadioGroup1->itemCount(), 9);
    EXPECT_EQ(form->RadioGroup1->item(8)->text(), QStringLiteral("80 Bar manometer"));
    EXPECT_EQ(form->pb1->Percent(), 0);
}

TEST_F(TForm1Test, ConnectionDisplayFollowsTheRules) {
    form->controlStates().testerCheckedOut();
    EXPECT_TRUE(sameImage(form->imgUsb->pixmap(), QStringLiteral(":/res/USB_Logo")));
    EXPECT_EQ(form->StatusBar->panelText(0), QStringLiteral("KR90X connected"));
    EXPECT_TRUE(form->btnReaddata->isEnabled());
    form->controlStates().testerGone();
    EXPECT_TRUE(sameImage(form->imgUsb->pixmap(), QStringLiteral(":/res/USB_Logo_BN")));
    EXPECT_EQ(form->StatusBar->panelText(0), QStringLiteral("Waiting for device ...."));
    EXPECT_FALSE(form->btnReaddata->isEnabled());
}

TEST_F(TForm1Test, HomeWithoutTesterHidesChartsAndLeavesReadDisabled) {
    form->controlStates().compressionShown();
    form->controlStates().curveStarted();
    form->controlStates().curveProgress(30);
    EXPECT_TRUE(form->chart1->isVisible());
    form->RadioGroup1->setItemIndex(4);

    form->btnHome->click();
    EXPECT_FALSE(form->chart1->isVisible());
    EXPECT_FALSE(form->Chart2->isVisible());
    EXPECT_FALSE(form->btnReport->isEnabled());
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    // The progress bar and the selection are left alone.
    EXPECT_TRUE(form->pb1->isVisible());
    EXPECT_EQ(form->pb1->Percent(), 30);
    EXPECT_EQ(form->RadioGroup1->itemIndex(), 4);
}

TEST_F(TForm1Test, ACloseRequestIsNeverRefused) {
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TForm1Test, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
    form->runHandler([] { throw std::runtime_error("Invalid pointer operation"); });
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Orvo KR90X pressure tester"));
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Invalid pointer operation"));
    form->controlStates().compressionShown();
    form->btnHome->click();
    EXPECT_FALSE(form->chart1->isVisible());
}

TEST_F(TForm1Test, TabOrderFollowsARead) {
    form->controlStates().compressionShown();
    form->btnReaddata->setEnabled(true);
    // Every item between Report and Home; Tab stops at the chosen one only.
    EXPECT_EQ(form->btnReaddata->nextInFocusChain(), form->btnReport);
    QWidget* w = form->btnReport->nextInFocusChain();
    for (int i = 0; i < form->RadioGroup1->itemCount(); ++i, w = w->nextInFocusChain()) {
        EXPECT_EQ(w, form->RadioGroup1->item(i));
    }
    EXPECT_EQ(w, form->btnHome);
}

TEST_F(TForm1Test, TheHiddenGraphicButtonLoadsTheDemoBarsOnly) {
    form->chart1->setTitle(QStringLiteral("Diesel Compression"));
    form->chart1->Series1.AddBar(99, QStringLiteral("old"));
    form->btn1Click(form->btn1);
    const auto& bars = form->chart1->Series1;
    ASSERT_EQ(bars.Count(), 6);
    EXPECT_EQ(bars.Labels.front(), QStringLiteral("Cyl #1"));
    EXPECT_EQ(bars.Labels.back(), QStringLiteral("Cyl #6"));
    EXPECT_EQ(bars.Bar, (std::vector<double>{30.0, 40.2, 50.0, 60.0, 70.0, 20.0}));
    EXPECT_EQ(form->chart1->titleLines(), QStringList{QStringLiteral("Diesel Compression")});
    EXPECT_FALSE(form->chart1->isVisible());
}

TEST_F(TForm1Test, AShownCurveChartCoversTheBarChartToItsRoundedCorners) {
    form->chart1->addDemoBars();
    form->controlStates().compressionShown();
    form->Chart2->show();
    const QImage both = form->grab().toImage();
    form->chart1->hide();
    const QImage curveOnly = form->grab().toImage();
    const QRect place(224, 24, 561, 369);
    EXPECT_EQ(both.copy(place), curveOnly.copy(place));
    // The corner outside the rounded border shows the window, not a chart.
    EXPECT_EQ(both.pixelColor(226, 26), form->palette().color(form->backgroundRole()));
}
