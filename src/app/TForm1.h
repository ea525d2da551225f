#pragma once

#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/Log.h"
#include "ftp/TFtpClient.h"
#include "protocol/TesterCodes.h"
#include "reports/ReportDialogs.h"
#include "update/UpdateSettings.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTimer;

namespace kr90x::reports {
class ReportDialogs;
class TRepCustomConnection;
class TRepProject;
class TRepRenderPDF;
class TRepSystem;
} // namespace kr90x::reports

namespace kr90x {

class CommandSender;
class CurveDownload;
class DeviceConnection;
class FirmwareUpdate;
class FlasherDownload;
class ShutdownHousekeeping;
class UpdateCheck;
class UpdateTrust;
class EepromDump;
class ReadStart;
class ReplyDispatcher;
class ResultDisplay;
class THidDevice;
class VersionReply;
class GradientProgressBar;
class HidPlatform;
class LogMemo;
class THidDeviceController;
class RadioGroup;
class StatusPanels;
class WorkshopRecords;

// The program's one window. It owns every control and component and carries every
// handler; each handler is short and hands the work to the object that owns it.
class TForm1 : public QWidget, private ControlView {
    Q_OBJECT
public:
    // `updates` names the program folder and the update server; `hooks` start programs
    // and beep (the system's own ways when left empty).
    TForm1(AppState& state, reports::ReportDialogs& dialogs, HidPlatform& hidPlatform,
           const UpdateSettings& updates, UpdateHooks hooks = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, in creation order (later ones lie above earlier ones).
    QLabel* imgUsb = nullptr;
    GradientProgressBar* pb1 = nullptr;
    QLabel* Image1 = nullptr;
    StatusPanels* StatusBar = nullptr;
    LogMemo* Memo1 = nullptr;
    QPushButton* btnReaddata = nullptr;
    charts::CompressionChart* chart1 = nullptr;
    QPushButton* btn1 = nullptr;
    QPushButton* btnReport = nullptr;
    QPushButton* btn3 = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    QPushButton* btnHome = nullptr;
    charts::PressureChart* Chart2 = nullptr;
    QPushButton* btn2 = nullptr;
    QPushButton* btn4 = nullptr;
    QPushButton* btn5 = nullptr;
    QPushButton* btn6 = nullptr;
    QPushButton* btnUpdater = nullptr;
    QPushButton* btnEEPROM = nullptr;
    // The workshop records' buttons, under "Select function" (owned by the window).
    QPushButton* btnVehicle = nullptr; // "Vehicle…"
    QPushButton* btnRecords = nullptr; // "Records…"

    // Components, in creation order.
    std::unique_ptr<THidDeviceController> HidCont;
    std::unique_ptr<reports::TRepSystem> RepSystem1;
    std::unique_ptr<reports::TRepCustomConnection> RepCustomConnection1;
    std::unique_ptr<reports::TRepRenderPDF> RepRenderPDF1;
    QTimer* Timer1 = nullptr;                          // reply time-out
    std::unique_ptr<reports::TRepProject> RepProject2; // pressure report
    std::unique_ptr<reports::TRepCustomConnection> RepCustomConnection2;
    // Null once the close has discarded them.
    QPointer<TFtpClient> FtpClient1;                   // manifest and new program
    std::unique_ptr<reports::TRepProject> RepProject1; // compression report
    QPointer<TFtpClient> FtpClientUpdater;             // flashing tool
    QTimer* Timer2 = nullptr;                          // version reply time-out
    QPointer<TFtpClient> FtpClientFirmware;            // firmware file

    // Handlers.
    void FormCreate(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void btnHomeClick(QObject* Sender);
    void btnReaddataClick(QObject* Sender);
    void GestionCompGasolina(const QString& reply);
    void GestionCompDiesel(const QString& reply);
    void NumDatosHP(const QString& reply);
    void NumDatosTurbo(const QString& reply);
    void NumDatosFSI(const QString& reply);
    void NumDatosTDI(const QString& reply);
    void DetectarUsb(QObject* Sender);
    void HidContDeviceData(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                           std::uint16_t Size);
    void Timer1Timer(QObject* Sender);
    void btnEEPROMClick(QObject* Sender);
    void Timer2Timer(QObject* Sender);
    void LaunchOrvoFlash();
    void SendCommand(const QString& command, QTimer* replyTimer);
    // The hidden "Gráfico" button: six fixed bars in the compression chart.
    void btn1Click(QObject* Sender);

    // Updates: the check at activation, the flashing tool, the firmware, the close.
    void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender);
    void btn2Click(QObject* Sender);
    void btn4Click(QObject* Sender);
    void btn5Click(QObject* Sender);
    void btn6Click(QObject* Sender);
    void Downloadupdater();
    void FtpClient1FtpStatus(QObject* Sender, TFtpStatusCode StatusCode,
                             const QByteArray& InfoText);
    void FtpClient1FtpError(QObject* Sender, int ErrorCode, const QByteArray& ErrorText);
    void FtpClientUpdaterFtpStatus(QObject* Sender, TFtpStatusCode StatusCode,
                                   const QByteArray& InfoText);
    void FtpClientUpdaterFtpError(QObject* Sender, int ErrorCode, const QByteArray& ErrorText);
    void FtpClientFirmwareFtpStatus(QObject* Sender, TFtpStatusCode StatusCode,
                                    const QByteArray& InfoText);
    void FtpClientFirmwareFtpError(QObject* Sender, int ErrorCode, const QByteArray& ErrorText);
    // Reports.
    void btnReportClick(QObject* Sender);
    // The hidden "Save to PDF" button: one empty page into "test.pdf".
    void btn3Click(QObject* Sender);
    void RepCustomConnection1GetCols(reports::TRepCustomConnection& Connection);
    void RepCustomConnection1GetRow(reports::TRepCustomConnection& Connection);
    void RepCustomConnection2GetCols(reports::TRepCustomConnection& Connection);
    void RepCustomConnection2GetRow(reports::TRepCustomConnection& Connection);
    void WriteChartPicture(reports::TRepCustomConnection& Connection,
                           const charts::ChartWidget& chart);

    // Workshop records.
    void btnVehicleClick(QObject* Sender);
    void btnRecordsClick(QObject* Sender);
    WorkshopRecords& records() { return *records_; }

    // Runs a handler; an error escaping it is shown in the error box and the program
    // goes on.
    void runHandler(const std::function<void()>& handler);

    // Services for the behaviour objects.
    Log& log() { return log_; }
    ControlStates& controlStates() { return controlStates_; }
    DialogService& dialogs() { return dialogs_; }
    AppState& state() { return state_; }
    const UpdateCheck& updateCheck() const { return *updateCheck_; }
    void setStatusText(int panel, const QString& text);
    // Loads "USB_Logo" or "USB_Logo_BN" into the PNG image and copies it into imgUsb.
    void showUsbResource(const QString& resourceName);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // ControlView
    void setReadDataEnabled(bool enabled) override;
    void setReportEnabled(bool enabled) override;
    void setCompressionChartVisible(bool visible) override;
    void setCurveChartVisible(bool visible) override;
    void setProgressVisible(bool visible) override;
    int progressPercent() const override;
    void setProgressPercent(int percent) override;
    void setUsbPicture(UsbPicture picture) override;
    void setConnectionText(const QString& text) override;

    void createControls();
    void createComponents(HidPlatform& hidPlatform);
    void connectReportComponents();
    void connectHandlers();
    void createUpdateFlows(const UpdateSettings& updates, UpdateHooks hooks);
    void holdFirstPass();
    void releaseFirstPass();
    void connectUpdateHandlers();
    void createRecords();
    // A count reply of `channel`, for the function its read was started for.
    void countReply(CurveChannel channel, const QString& reply);
    // The tester answers and may be written to.
    bool testerConnected() const;

    AppState& state_;
    reports::ReportDialogs& dialogs_;
    Log log_{QStringList{QStringLiteral("Memo1")}};
    ControlStates controlStates_{*this};
    std::unique_ptr<QImage> usbPng_;
    std::unique_ptr<CommandSender> sender_;
    std::unique_ptr<DeviceConnection> connection_;
    std::unique_ptr<ReplyDispatcher> dispatcher_;
    std::unique_ptr<VersionReply> versionReply_;
    std::unique_ptr<EepromDump> eeprom_;
    std::unique_ptr<ReadStart> readStart_;
    std::unique_ptr<ResultDisplay> results_;
    std::unique_ptr<CurveDownload> curve_;
    std::unique_ptr<UpdateTrust> updateTrust_; // before the flows that refer to it
    std::unique_ptr<UpdateCheck> updateCheck_;
    std::unique_ptr<FlasherDownload> flasherDownload_;
    std::unique_ptr<FirmwareUpdate> firmwareUpdate_;
    std::unique_ptr<ShutdownHousekeeping> housekeeping_;
    std::unique_ptr<WorkshopRecords> records_;
    bool placed_ = false;
    bool firstPassDone_ = false;
    bool firstPassHeld_ = false; // the shown window waits for its activation
    bool downloadCut_ = false;   // a download stopped when the tester was pulled out
};

} // namespace kr90x
