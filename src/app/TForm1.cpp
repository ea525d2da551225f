#include "app/TForm1.h"

#include "app/GradientProgressBar.h"
#include "app/LogMemo.h"
#include "app/RadioGroup.h"
#include "app/StatusPanels.h"
#include "app/WorkshopRecords.h"
#include "core/HandlerGuard.h"
#include "core/NumberFormat.h"
#include "core/Texts.h"
#include "link/DeviceConnection.h"
#include "link/THidDeviceController.h"
#include "measure/CompressionResults.h"
#include "measure/CurveDownload.h"
#include "measure/EepromDump.h"
#include "measure/ReadStart.h"
#include "measure/TestFunctions.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/ReplyDispatcher.h"
#include "protocol/VersionReply.h"
#include "reports/TRepCustomConnection.h"
#include "reports/TRepProject.h"
#include "reports/TRepRenderPDF.h"
#include "reports/TRepSystem.h"
#include "reports/Templates.h"
#include "update/FirmwareUpdate.h"
#include "update/FlasherDownload.h"
#include "update/ShutdownHousekeeping.h"
#include "update/UpdateCheck.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTrust.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPicture>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <stdexcept>

namespace kr90x {
namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 503;
constexpr int kStatusBarHeight = 19;
// How long a shown window waits for its activation before its first device pass runs.
constexpr int kFirstPassHoldMs = 2000;

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

TForm1::TForm1(AppState& state, reports::ReportDialogs& dialogs, HidPlatform& hidPlatform,
               const UpdateSettings& updates, UpdateHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state), dialogs_(dialogs) {
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

    createControls();
    createComponents(hidPlatform);
    createUpdateFlows(updates, std::move(hooks));
    connectHandlers();
    connectUpdateHandlers();
    createRecords();
    runHandler([this] { FormCreate(this); });
}

TForm1::~TForm1() {
    // The clients go first, silently, while the flows they report to still exist.
    delete FtpClient1;
    delete FtpClientUpdater;
    delete FtpClientFirmware;
    // The tester goes back and its reader stops before the controls it reports to.
    HidCont.reset();
    state_.TesterDevice = nullptr;
}

void TForm1::createControls() {
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

void TForm1::createComponents(HidPlatform& hidPlatform) {
    HidCont = std::make_unique<THidDeviceController>(hidPlatform, dialogs_);
    RepSystem1 = std::make_unique<reports::TRepSystem>(dialogs_);
    RepCustomConnection1 =
        std::make_unique<reports::TRepCustomConnection>(QStringLiteral("RepCustomConnection1"));
    RepRenderPDF1 = std::make_unique<reports::TRepRenderPDF>();
    Timer1 = new QTimer(this); // owned by the window
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    RepProject2 = std::make_unique<reports::TRepProject>(QStringLiteral("RepProject2"),
                                                         reports::pressureTemplate, *RepSystem1);
    RepCustomConnection2 =
        std::make_unique<reports::TRepCustomConnection>(QStringLiteral("RepCustomConnection2"));
    FtpClient1 = new TFtpClient(this); // owned by the window
    FtpClient1->setObjectName(QStringLiteral("FtpClient1"));
    RepProject1 = std::make_unique<reports::TRepProject>(QStringLiteral("RepProject1"),
                                                         reports::compressionTemplate, *RepSystem1);
    FtpClientUpdater = new TFtpClient(this); // owned by the window
    FtpClientUpdater->setObjectName(QStringLiteral("FtpClientUpdater"));
    Timer2 = new QTimer(this); // owned by the window
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    FtpClientFirmware = new TFtpClient(this); // owned by the window
    FtpClientFirmware->setObjectName(QStringLiteral("FtpClientFirmware"));
    connectReportComponents();

    sender_ = std::make_unique<CommandSender>(state_);
    connection_ = std::make_unique<DeviceConnection>(
        *HidCont, state_, log_, controlStates_, dialogs_,
        DeviceConnection::Actions{
            [this] { SendCommand(QString::fromLatin1(kVersionCommand), Timer2); },
            [this] { LaunchOrvoFlash(); }});
    versionReply_ =
        std::make_unique<VersionReply>(state_, log_, *Timer2, [this] { LaunchOrvoFlash(); });
    eeprom_ = std::make_unique<EepromDump>(state_, log_, *sender_, *Timer1);

    readStart_ = std::make_unique<ReadStart>(state_, log_, controlStates_, dialogs_, *sender_,
                                             *Timer1, *Chart2);
    compression_ = std::make_unique<CompressionResults>(
        state_, log_, controlStates_, *chart1,
        [this](const QString& name, const QString& text) { RepProject1->SetParam(name, text); });
    curve_ = std::make_unique<CurveDownload>(state_, log_, controlStates_, dialogs_, *sender_,
                                             *Chart2, [this] { return RadioGroup1->itemIndex(); });

    dispatcher_ = std::make_unique<ReplyDispatcher>(log_, *Timer1);
    const auto on = [this](ReplyKind kind, void (TForm1::*handler)(const QString&)) {
        dispatcher_->setHandler(kind, [this, handler](const QString& r) { (this->*handler)(r); });
    };
    dispatcher_->setHandler(ReplyKind::Version,
                            [this](const QString& r) { versionReply_->handle(r); });
    on(ReplyKind::CompressionPetrol, &TForm1::GestionCompGasolina);
    on(ReplyKind::CompressionDiesel, &TForm1::GestionCompDiesel);
    dispatcher_->setHandler(ReplyKind::Eeprom,
                            [this](const QString& r) { eeprom_->handleReply(r); });
    // The count handlers in the order of the channels.
    constexpr std::array<void (TForm1::*)(const QString&), kCurveChannels.size()> countHandlers = {
        &TForm1::NumDatosHP, &TForm1::NumDatosTurbo, &TForm1::NumDatosFSI, &TForm1::NumDatosTDI};
    for (const CurveCodes& c : kCurveChannels) {
        on(c.count, countHandlers[curveIndex(c.channel)]);
        dispatcher_->setHandler(c.sample, [this, channel = c.channel](const QString& r) {
            curve_->sampleReply(channel, r);
        });
    }
}

void TForm1::connectHandlers() {
    HidCont->OnDeviceChange = [this](THidDeviceController&) {
        runHandler([this] { DetectarUsb(HidCont.get()); });
    };
    HidCont->OnDeviceData = [this](THidDevice& dev, std::uint8_t id, const std::uint8_t* data,
                                   std::uint16_t size) {
        runHandler([&] { HidContDeviceData(&dev, id, data, size); });
    };
    HidCont->OnDeviceReadError = [this](THidDevice&, int error) {
        runHandler([&] { connection_->readFailed(error); });
    };
    connect(Timer1, &QTimer::timeout, this,
            [this] { runHandler([this] { Timer1Timer(Timer1); }); });
    connect(Timer2, &QTimer::timeout, this,
            [this] { runHandler([this] { Timer2Timer(Timer2); }); });
    connect(btnReaddata, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnReaddataClick(btnReaddata); }); });
    connect(btnEEPROM, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnEEPROMClick(btnEEPROM); }); });
    connect(btnHome, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnHomeClick(btnHome); }); });
    connect(btn1, &QPushButton::clicked, this, [this] { runHandler([this] { btn1Click(btn1); }); });
    connect(btnReport, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnReportClick(btnReport); }); });
    connect(btn3, &QPushButton::clicked, this, [this] { runHandler([this] { btn3Click(btn3); }); });
}

void TForm1::createUpdateFlows(const UpdateSettings& updates, UpdateHooks hooks) {
    for (TFtpClient* client :
         {FtpClient1.data(), FtpClientUpdater.data(), FtpClientFirmware.data()}) {
        updates.configure(*client);
    }
    if (!hooks.startProgram) {
        hooks.startProgram = startDetachedProgram;
    }
    if (!hooks.beep) {
        hooks.beep = [] { QApplication::beep(); };
    }
    updateTrust_ = std::make_unique<UpdateTrust>(log_, dialogs_, updates.PublicKey);
    updateCheck_ = std::make_unique<UpdateCheck>(
        state_, log_, dialogs_, *updateTrust_, FtpClient1, updates,
        UpdateCheck::Actions{[this] { Downloadupdater(); }, [this] { LaunchOrvoFlash(); },
                             [this] { firmwareUpdate_->manifestSettled(); }});
    flasherDownload_ = std::make_unique<FlasherDownload>(
        log_, dialogs_, *updateTrust_, FtpClientUpdater, updates,
        [this] { return updateCheck_->expectedHash(files::Flasher); });
    firmwareUpdate_ = std::make_unique<FirmwareUpdate>(
        state_, log_, dialogs_, *updateTrust_, FtpClientFirmware, updates,
        [this](const QString& file) { return updateCheck_->expectedHash(file); },
        std::move(hooks.startProgram));
    housekeeping_ = std::make_unique<ShutdownHousekeeping>(updates, log_, std::move(hooks.beep));
}

void TForm1::connectUpdateHandlers() {
    // Each client's two events, and the hidden test buttons.
    auto route = [this](TFtpClient* client, auto status, auto error) {
        connect(client, &TFtpClient::OnFtpStatus, this,
                [this, status](TFtpClient* s, TFtpStatusCode code, const QByteArray& info) {
                    runHandler([&] { (this->*status)(s, code, info); });
                });
        connect(client, &TFtpClient::OnFtpError, this,
                [this, error](TFtpClient* s, int code, const QByteArray& text) {
                    runHandler([&] { (this->*error)(s, code, text); });
                });
    };
    route(FtpClient1, &TForm1::FtpClient1FtpStatus, &TForm1::FtpClient1FtpError);
    route(FtpClientUpdater, &TForm1::FtpClientUpdaterFtpStatus, &TForm1::FtpClientUpdaterFtpError);
    route(FtpClientFirmware, &TForm1::FtpClientFirmwareFtpStatus,
          &TForm1::FtpClientFirmwareFtpError);
    connect(btn2, &QPushButton::clicked, this, [this] { runHandler([this] { btn2Click(btn2); }); });
    connect(btn4, &QPushButton::clicked, this, [this] { runHandler([this] { btn4Click(btn4); }); });
    connect(btn5, &QPushButton::clicked, this, [this] { runHandler([this] { btn5Click(btn5); }); });
    connect(btn6, &QPushButton::clicked, this, [this] { runHandler([this] { btn6Click(btn6); }); });
}

// Created last, so its buttons lie above every control of the window.
void TForm1::createRecords() {
    records_ = std::make_unique<WorkshopRecords>(
        WorkshopRecords::Parts{state_, dialogs_, *readStart_, *compression_, *curve_, *Chart2,
                               *RepProject1, *RepProject2, *this});
    btnVehicle = records_->vehicleButton();
    btnRecords = records_->recordsButton();
    compression_->onResult = curve_->onResult = [this] { records_->resultCompleted(); };
    connect(btnVehicle, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnVehicleClick(btnVehicle); }); });
    connect(btnRecords, &QPushButton::clicked, this,
            [this] { runHandler([this] { btnRecordsClick(btnRecords); }); });
}

void TForm1::btnVehicleClick(QObject*) {
    records_->editVehicle();
}

void TForm1::btnRecordsClick(QObject*) {
    records_->showRecords();
}

void TForm1::runHandler(const std::function<void()>& handler) {
    runGuarded(dialogs_, handler);
}

void TForm1::FormCreate(QObject*) {
    usbPng_ = std::make_unique<QImage>();
    // The version text is made with a full stop whatever the system says; from then on
    // every real number the program writes uses a decimal comma.
    state_.Format.DecimalSeparator = QLatin1Char('.');
    setStatusText(1, formatText(kVersionFormat, {kProgramVersion}, state_.Format));
    state_.Format.DecimalSeparator = QLatin1Char(',');
}

void TForm1::FormCloseQuery(QObject*, bool& CanClose) {
    CanClose = true;
}

void TForm1::btnHomeClick(QObject*) {
    controlStates_.homePressed(testerConnected());
}

void TForm1::btnReaddataClick(QObject*) {
    readStart_->start(RadioGroup1->itemIndex());
}

void TForm1::GestionCompGasolina(const QString& reply) {
    compression_->handle(reply, CompressionResults::Fuel::Petrol);
}

void TForm1::GestionCompDiesel(const QString& reply) {
    compression_->handle(reply, CompressionResults::Fuel::Diesel);
}

void TForm1::NumDatosHP(const QString& reply) {
    curve_->countReply(CurveChannel::HighPressure, reply);
}

void TForm1::NumDatosTurbo(const QString& reply) {
    curve_->countReply(CurveChannel::Turbo, reply);
}

void TForm1::NumDatosFSI(const QString& reply) {
    curve_->countReply(CurveChannel::Fsi, reply);
}

void TForm1::NumDatosTDI(const QString& reply) {
    curve_->countReply(CurveChannel::Tdi, reply);
}

void TForm1::btn1Click(QObject*) {
    chart1->addDemoBars();
}

// ---- Reports ------------------------------------------------------------------------

// The report components, in the window's component order (Timer1 sits among them).
void TForm1::connectReportComponents() {
    using namespace reports;
    RepSystem1->pdfRenderer = RepRenderPDF1.get();
    RepCustomConnection1->OnGetCols = [this](TRepCustomConnection& c) {
        RepCustomConnection1GetCols(c);
    };
    RepCustomConnection1->OnGetRow = [this](TRepCustomConnection& c) {
        RepCustomConnection1GetRow(c);
    };
    RepCustomConnection2->OnGetCols = [this](TRepCustomConnection& c) {
        RepCustomConnection2GetCols(c);
    };
    RepCustomConnection2->OnGetRow = [this](TRepCustomConnection& c) {
        RepCustomConnection2GetRow(c);
    };
    RepProject2->setConnection(RepCustomConnection2.get());
    RepProject1->setConnection(RepCustomConnection1.get());
}

// The report of the result on screen: the function whose result was completed last,
// not whatever the radio group shows now (a changed selection without a read would
// otherwise print one curve under another function's title).
void TForm1::btnReportClick(QObject*) {
    const TestFunction* f = testFunction(state_.CompletedFunction);
    if (!f || f->report == ReportKind::None) { // none yet, or turbo, FSI, TDI
        return;
    }
    if (f->report == ReportKind::Compression) {
        RepProject1->Run();
        return;
    }
    RepProject2->setParam(QStringLiteral("Titulo"), QString::fromLatin1(f->reportTitle));
    RepProject2->Run();
}

void TForm1::btn3Click(QObject*) {
    QString error;
    if (!RepRenderPDF1->renderToFile(reports::TRepSystem::emptyDocument(),
                                     QStringLiteral("test.pdf"), &error)) {
        throw std::runtime_error(error.toStdString());
    }
}

void TForm1::RepCustomConnection1GetCols(reports::TRepCustomConnection& Connection) {
    Connection.AddColumn(QStringLiteral("PieChart"), reports::FieldType::Graphic, 30, {}, {});
}

void TForm1::RepCustomConnection1GetRow(reports::TRepCustomConnection& Connection) {
    WriteChartPicture(Connection, *chart1);
}

void TForm1::RepCustomConnection2GetCols(reports::TRepCustomConnection& Connection) {
    Connection.AddColumn(QStringLiteral("ChartAltaPresion"), reports::FieldType::Graphic, 30, {},
                         {});
}

void TForm1::RepCustomConnection2GetRow(reports::TRepCustomConnection& Connection) {
    WriteChartPicture(Connection, *Chart2);
}

// The chart as it is now, visible or not, as a vector picture of its client rectangle.
void TForm1::WriteChartPicture(reports::TRepCustomConnection& Connection,
                               const charts::ChartWidget& chart) {
    QPicture picture;
    chart.writeChartPicture(picture);
    Connection.WriteColumnValue(reports::encodePicture(picture));
}

// ---- end of reports -----------------------------------------------------------------

bool TForm1::testerConnected() const {
    return state_.TesterDevice != nullptr && state_.TesterDevice->IsPluggedIn();
}

void TForm1::DetectarUsb(QObject*) {
    firstPassDone_ = true;
    connection_->detect();
}

void TForm1::HidContDeviceData(THidDevice*, std::uint8_t, const std::uint8_t* Data,
                               std::uint16_t Size) {
    dispatcher_->dispatch(Data, Size);
}

void TForm1::Timer1Timer(QObject*) {
    Timer1->stop();
    dialogs_.information(
        QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X"));
    controlStates_.replyTimedOut();
}

void TForm1::btnEEPROMClick(QObject*) {
    eeprom_->start();
}

void TForm1::Timer2Timer(QObject*) {
    Timer2->stop();
    connection_->versionTimedOut();
}

void TForm1::LaunchOrvoFlash() {
    firmwareUpdate_->launch();
}

void TForm1::FormActivate(QObject*) {
    updateCheck_->activated();
}

void TForm1::btn2Click(QObject*) {
    updateCheck_->start();
}

void TForm1::btn4Click(QObject*) {
    updateCheck_->logout();
}

void TForm1::btn5Click(QObject*) {
    updateCheck_->currentDir();
}

// A test of the busy cursor: the window does not answer for two seconds.
void TForm1::btn6Click(QObject*) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    QThread::msleep(2000);
    QApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();
}

void TForm1::Downloadupdater() {
    flasherDownload_->start();
}

void TForm1::FtpClient1FtpStatus(QObject*, TFtpStatusCode StatusCode, const QByteArray& InfoText) {
    updateCheck_->onStatus(StatusCode, InfoText);
}

void TForm1::FtpClient1FtpError(QObject*, int ErrorCode, const QByteArray& ErrorText) {
    updateCheck_->onError(ErrorCode, ErrorText);
}

void TForm1::FtpClientUpdaterFtpStatus(QObject*, TFtpStatusCode StatusCode,
                                       const QByteArray& InfoText) {
    flasherDownload_->onStatus(StatusCode, InfoText);
}

void TForm1::FtpClientUpdaterFtpError(QObject*, int ErrorCode, const QByteArray& ErrorText) {
    flasherDownload_->onError(ErrorCode, ErrorText);
}

void TForm1::FtpClientFirmwareFtpStatus(QObject*, TFtpStatusCode StatusCode,
                                        const QByteArray& InfoText) {
    firmwareUpdate_->onStatus(StatusCode, InfoText);
}

void TForm1::FtpClientFirmwareFtpError(QObject*, int ErrorCode, const QByteArray& ErrorText) {
    firmwareUpdate_->onError(ErrorCode, ErrorText);
}

void TForm1::FormClose(QObject*) {
    housekeeping_->run({{FtpClient1, files::NewProgram},
                        {FtpClientUpdater, files::Flasher},
                        {FtpClientFirmware, files::Firmware}},
                       updateCheck_->newProgramVerified());
}

void TForm1::SendCommand(const QString& command, QTimer* replyTimer) {
    sender_->SendCommand(command, replyTimer);
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    runHandler([&] { FormCloseQuery(this, canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    runHandler([this] { FormClose(this); });
    event->accept();
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        runHandler([this] { FormActivate(this); });
        releaseFirstPass();
    }
    return QWidget::event(event);
}

// The window comes up, is activated (which clears the log and starts the update check),
// and only then does the first device pass run, so that what the pass writes to the log
// stays there. A window that is never activated still finds its tester, a moment later.
void TForm1::holdFirstPass() {
    firstPassHeld_ = true;
    HidCont->holdPasses(true);
    QTimer::singleShot(kFirstPassHoldMs, this, [this] { releaseFirstPass(); });
}

void TForm1::releaseFirstPass() {
    if (firstPassHeld_) {
        firstPassHeld_ = false;
        HidCont->holdPasses(false);
    }
}

void TForm1::showEvent(QShowEvent* event) {
    if (!placed_) {
        placed_ = true;
        if (!firstPassDone_) {
            holdFirstPass();
        }
        if (const QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QWidget::showEvent(event);
}

void TForm1::setStatusText(int panel, const QString& text) {
    StatusBar->setPanelText(panel, text);
}

void TForm1::showUsbResource(const QString& resourceName) {
    usbPng_->load(QStringLiteral(":/res/") + resourceName);
    imgUsb->setPixmap(QPixmap::fromImage(*usbPng_));
}

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
