// The window's update components: the three FTP clients' events routed to the flows that
// own them, and the hidden buttons that drive a check by hand.
#include "app/TForm1.h"

#include "update/FirmwareUpdate.h"
#include "update/FlasherDownload.h"
#include "update/ShutdownHousekeeping.h"
#include "update/UpdateCheck.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTrust.h"

#include <QApplication>
#include <QPushButton>
#include <QThread>

namespace kr90x {

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

} // namespace kr90x
