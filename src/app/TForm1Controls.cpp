// The window's controls, each at its place and size, in the order that lays them one
// over another and gives the tab order.
#include "app/TForm1.h"

#include "app/GradientProgressBar.h"
#include "app/LogMemo.h"
#include "app/RadioGroup.h"
#include "app/StatusPanels.h"
#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "core/Texts.h"
#include "measure/TestFunctions.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace kr90x {
namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 503;
constexpr int kStatusBarHeight = 19;
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                        bool visible, bool enabled) {
    auto* b = new QPushButton(caption, parent); // owned by the window
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setVisible(visible);
    b->setEnabled(enabled);
    return b;
}

// Both charts share one rectangle and start hidden; the later created lies above.
template <typename Chart>
Chart* makeChart(QWidget* parent, const char* name, const FormatSettings& format) {
    auto* chart = new Chart(format, parent); // owned by the window
    chart->setObjectName(QString::fromLatin1(name));
    chart->setGeometry(224, 24, 561, 369);
    chart->hide();
    return chart;
}

} // namespace

void TForm1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setWindowIcon(QIcon(QStringLiteral(":/res/Icon")));
    setFixedSize(kClientWidth, kClientHeight);
    QFont tahoma;
    tahoma.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("DejaVu Sans")});
    tahoma.setPixelSize(11);
    setFont(tahoma);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    imgUsb = new QLabel(this);
    imgUsb->setObjectName(QStringLiteral("imgUsb"));
    imgUsb->setGeometry(8, 8, 100, 34);
    const QPixmap grey(QStringLiteral(":/res/USB_Logo_BN"));
    imgUsb->setPixmap(grey);
    imgUsb->resize(grey.size()); // the control takes the size of its picture

    pb1 = new GradientProgressBar(this);
    pb1->setObjectName(QStringLiteral("pb1"));
    pb1->setGeometry(49, 408, 704, 25);
    pb1->hide();

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(281, 159, 464, 127);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(QStringLiteral(":/res/Logo")));

    StatusBar = new StatusPanels({675, 150}, this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);

    Memo1 = new LogMemo(log_, this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(376, 8, 402, 337);
    Memo1->hide();

    btnReaddata = makeButton(this, "btnReaddata", QStringLiteral("Read data"), {347, 448, 121, 25},
                             true, false);
    chart1 = makeChart<charts::CompressionChart>(this, "chart1", state_.Format);
    btn1 = makeButton(this, "btn1", QStringLiteral("Gráfico"), {554, 399, 121, 25}, false, false);
    btnReport =
        makeButton(this, "btnReport", QStringLiteral("Report"), {518, 448, 121, 25}, true, false);
    btn3 =
        makeButton(this, "btn3", QStringLiteral("Save to PDF"), {681, 399, 121, 25}, false, false);

    QStringList functionLabels;
    for (const TestFunction& f : testFunctions()) {
        functionLabels << QString::fromLatin1(f.itemText);
    }
    RadioGroup1 = new RadioGroup(QStringLiteral("Select function"), functionLabels, this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(8, 48, 185, 200);
    RadioGroup1->setItemIndex(0);

    btnHome = makeButton(this, "btnHome", QStringLiteral("Home"), {176, 448, 121, 25}, true, true);
    Chart2 = makeChart<charts::PressureChart>(this, "Chart2", state_.Format);
    btn2 =
        makeButton(this, "btn2", QStringLiteral("Conectar FTP"), {110, 254, 104, 25}, false, true);
    btn4 =
        makeButton(this, "btn4", QStringLiteral("Desonectar FTP"), {0, 254, 104, 25}, false, true);
    btn5 = makeButton(this, "btn5", QStringLiteral("Directorio Actual"), {110, 285, 104, 25}, false,
                      true);
    btn6 = makeButton(this, "btn6", QStringLiteral("Descargar fichero"), {0, 285, 104, 25}, false,
                      true);
    btnUpdater =
        makeButton(this, "btnUpdater", QStringLiteral("btnUpdater"), {126, 8, 75, 25}, false, true);
    btnEEPROM = makeButton(this, "btnEEPROM", QStringLiteral("Read EEPROM"), {681, 448, 97, 25},
                           false, true);

    // The keys reach the controls in the order of a read: read, report, pick, home. All
    // the items stand together between Report and Home: Tab skips those not chosen, so it
    // lands on the chosen one, whichever the user picked.
    QWidget* previous = btnReport;
    setTabOrder(btnReaddata, btnReport);
    for (int i = 0; i < RadioGroup1->itemCount(); ++i) {
        setTabOrder(previous, RadioGroup1->item(i));
        previous = RadioGroup1->item(i);
    }
    setTabOrder(previous, btnHome);
}

// A focused push button is pressed by Enter as by Space, as mechanics used to Windows
// programs expect. Qt's buttons take Enter only in dialogs, and pass it on to here.
void TForm1::keyPressEvent(QKeyEvent* event) {
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button &&
        button->isEnabled() && button->isVisible()) {
        button->animateClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

// ControlView: the rules of the control states act on these controls.
void TForm1::setReadDataEnabled(bool enabled) {
    btnReaddata->setEnabled(enabled);
}
void TForm1::setReportEnabled(bool enabled) {
    btnReport->setEnabled(enabled);
}
void TForm1::setCompressionChartVisible(bool visible) {
    chart1->setVisible(visible);
}
void TForm1::setCurveChartVisible(bool visible) {
    Chart2->setVisible(visible);
}
void TForm1::setProgressVisible(bool visible) {
    pb1->setVisible(visible);
}
int TForm1::progressPercent() const {
    return pb1->Percent();
}

void TForm1::setProgressPercent(int percent) {
    pb1->setPercent(percent);
    pb1->repaint();
}

void TForm1::setUsbPicture(UsbPicture picture) {
    showUsbResource(picture == UsbPicture::Colour ? QStringLiteral("USB_Logo")
                                                  : QStringLiteral("USB_Logo_BN"));
}

void TForm1::setConnectionText(const QString& text) {
    setStatusText(0, text);
}

} // namespace kr90x
