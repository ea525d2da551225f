#include "app/TForm1.h"

#include "app/LogMemo.h"
#include "app/RadioGroup.h"
#include "app/ResultDisplay.h"
#include "app/StatusPanels.h"
#include "app/WorkshopRecords.h"
#include "core/HandlerGuard.h"
#include "core/NumberFormat.h"
#include "core/Texts.h"
#include "link/DeviceConnection.h"
#include "link/THidDeviceController.h"
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
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <stdexcept>

namespace kr90x {
namespace {

// How long a shown window waits for its activation before its first device pass runs.
constexpr int kFirstPassHoldMs = 2000;

} // namespace

TForm1::TForm1(AppState& state, reports::ReportDialogs& dialogs, HidPlatform& hidPlatform,
               const UpdateSettings& updates, UpdateHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state), dialogs_(dialogs) {
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

void TForm1::createComponents(HidPlatform& hidPlatform) {
    HidCont = std::make_unique<THidDeviceController>(hidPlatform, dialogs_);
    RepSystem1 = std::make_unique<reports::TRepSystem>(dialogs_);
    RepCustomConnection1 =
        std::make_unique<reports::TRepCustomConnection>(QStringLiteral("RepCustomConnection1"));
    RepRenderPDF1 = std::make_unique<reports::TRepRenderPDF>();
    RepRenderPDF1->log = [this](const QString& line) { log_.add(line); };
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

    results_ = std::make_unique<ResultDisplay>(ResultDisplay::Parts{
        state_, log_, controlStates_, dialogs_, *chart1, *Chart2, *RepProject1});
    readStart_ = std::make_unique<ReadStart>(state_, log_, controlStates_, dialogs_, *sender_,
                                             *Timer1, *results_);
    curve_ = std::make_unique<CurveDownload>(log_, *sender_, *results_);

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

// Created last, so its buttons lie above every control of the window.
void TForm1::createRecords() {
    records_ = std::make_unique<WorkshopRecords>(
        WorkshopRecords::Parts{state_, dialogs_, *readStart_, *results_, *curve_, *Chart2,
                               *RepProject1, *RepProject2, *this, log_});
    btnVehicle = records_->vehicleButton();
    btnRecords = records_->recordsButton();
    setTabOrder(btnHome, btnVehicle);
    setTabOrder(btnVehicle, btnRecords);
    results_->onCompression = [this](const CompressionResult& r) { records_->resultCompleted(r); };
    results_->onCurve = [this](const Curve& c) { records_->resultCompleted(c); };
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
    records_->resultHidden();
}

void TForm1::btnReaddataClick(QObject*) {
    readStart_->start(RadioGroup1->itemIndex());
    // A read went out (a refused one leaves the result on screen as it was).
    if (readStart_->awaitingReply()) {
        records_->resultHidden();
    }
}

void TForm1::GestionCompGasolina(const QString& reply) {
    results_->compressionReply(reply, Fuel::Petrol);
}

void TForm1::GestionCompDiesel(const QString& reply) {
    results_->compressionReply(reply, Fuel::Diesel);
}

void TForm1::countReply(CurveChannel channel, const QString& reply) {
    // Scaled for the function the read was started for: changing the selection during a
    // download cannot mix two scalings in one curve.
    curve_->countReply(channel, reply,
                       curveFunction(channel, state_.ReadFunction, RadioGroup1->itemIndex()));
}

void TForm1::NumDatosHP(const QString& reply) {
    countReply(CurveChannel::HighPressure, reply);
}

void TForm1::NumDatosTurbo(const QString& reply) {
    countReply(CurveChannel::Turbo, reply);
}

void TForm1::NumDatosFSI(const QString& reply) {
    countReply(CurveChannel::Fsi, reply);
}

void TForm1::NumDatosTDI(const QString& reply) {
    countReply(CurveChannel::Tdi, reply);
}

void TForm1::btn1Click(QObject*) {
    chart1->addDemoBars();
}

bool TForm1::testerConnected() const {
    return state_.TesterDevice != nullptr && state_.TesterDevice->IsPluggedIn() &&
           state_.TesterDevice->HasReadWriteAccess();
}

void TForm1::DetectarUsb(QObject*) {
    firstPassDone_ = true;
    connection_->detect();
    if (state_.TesterDevice == nullptr) {
        const std::uint32_t last = curve_->lastSampleIndex();
        const std::size_t received = curve_->received();
        if (curve_->abandon()) {
            // Said once: whatever the tester answers after coming back belongs to no read.
            log_.add(QStringLiteral("Curve download cut: the tester was unplugged after %1 of "
                                    "%2 samples")
                         .arg(received)
                         .arg(last));
            downloadCut_ = true;
        }
    } else if (downloadCut_) {
        downloadCut_ = false;
        controlStates_.progressReset(); // the bar of the cut download tells nothing now
    }
}

void TForm1::HidContDeviceData(THidDevice*, std::uint8_t, const std::uint8_t* Data,
                               std::uint16_t Size) {
    dispatcher_->dispatch(Data, Size);
}

void TForm1::Timer1Timer(QObject*) {
    Timer1->stop();
    dialogs_.information(
        QStringLiteral("No data has been received!\r\nSelect USB>PC function in KR90X"));
    // The late answer may have started a download while the box was open: Read data
    // would then start a second one beside it.
    if (!curve_->running()) {
        controlStates_.replyTimedOut();
    }
}

void TForm1::btnEEPROMClick(QObject*) {
    eeprom_->start();
}

void TForm1::Timer2Timer(QObject*) {
    Timer2->stop();
    connection_->versionTimedOut();
}

void TForm1::FormClose(QObject*) {
    housekeeping_->run({{FtpClient1, files::NewProgram},
                        {FtpClientUpdater, files::Flasher},
                        {FtpClientFirmware, files::Firmware}},
                       updateCheck_->expectedHash(files::Program).hash);
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

} // namespace kr90x
