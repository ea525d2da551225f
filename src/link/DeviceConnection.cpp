#include "link/DeviceConnection.h"

#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "link/THidDeviceController.h"

#include <QMetaObject>

#include <system_error>

namespace kr90x {

const char* const kNoAccessMessage =
    "The KR90X tester is connected, but this user may not open it.\r\n"
    "Install the program's package, which brings the tester's udev rule: "
    "sudo apt install ./orvo-kr90x_*.deb\r\n"
    "(from a build: sudo cmake --install build --prefix /usr, then "
    "sudo udevadm control --reload), and plug the tester in again.";

DeviceConnection::DeviceConnection(THidDeviceController& controller, AppState& state, Log& log,
                                   ControlStates& controls, DialogService& dialogs, Actions actions)
    : controller_(controller), state_(state), log_(log), controls_(controls), dialogs_(dialogs),
      actions_(std::move(actions)) {}

void DeviceConnection::detect() {
    THidDevice*& tester = state_.TesterDevice;
    if (tester && tester->IsPluggedIn()) {
        if (!testerUsable_ && tester->HasReadWriteAccess()) {
            // Its rule came into force after we took it: greet it as a tester just
            // attached, since it never heard the version question.
            greet();
            return;
        }
        log_.add(QStringLiteral("Ya está conectado ") + tester->ProductName());
        return;
    }
    if (tester) {
        controller_.CheckIn(tester);
        log_.add(QStringLiteral("Liberado!"));
        controls_.testerGone();
        return;
    }
    if (!controller_.CheckOutByID(tester, kTesterVendorId, kTesterProductId)) {
        log_.add(QString::fromLatin1(kWaitingText));
        controls_.noTesterFound();
        return;
    }
    if (tester->IsPluggedIn()) {
        // Read for the record only: a tester is recognised by its IDs alone.
        tester->ProductName();
    }
    log_.clear();
    greet();
    if (!testerUsable_) {
        // Shown once the pass is over: the unplug and re-plug it asks for must find the
        // HID layer ready to notice them while the box is open.
        QMetaObject::invokeMethod(
            &controller_, [this] { dialogs_.information(QString::fromLatin1(kNoAccessMessage)); },
            Qt::QueuedConnection);
    }
}

void DeviceConnection::greet() {
    THidDevice* tester = state_.TesterDevice;
    testerUsable_ = tester->HasReadWriteAccess();
    controls_.testerCheckedOut(testerUsable_);
    log_.add(QStringLiteral("Orvo tester detected ..."));
    tester->Caps(); // learns, too, why the report lengths might not be the tester's own
    if (!tester->CapsNote().isEmpty()) {
        log_.add(tester->CapsNote());
    }
    actions_.askVersion();
}

void DeviceConnection::readFailed(int error) {
    log_.add(QStringLiteral("USB read error: ") +
             QString::fromStdString(std::generic_category().message(error)));
}

void DeviceConnection::versionTimedOut() {
    state_.DeviceFirmwareVersion = 11;
    actions_.launchOrvoFlash();
}

} // namespace kr90x
