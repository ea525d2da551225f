#include "link/DeviceConnection.h"

#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "link/THidDeviceController.h"

#include <system_error>

namespace kr90x {

const char* const kNoAccessMessage =
    "The KR90X tester is connected, but this user may not open it.\r\n"
    "Install the tester's udev rule (see the README: cmake --install build --prefix /usr, "
    "then sudo udevadm control --reload) and plug the tester in again.";

DeviceConnection::DeviceConnection(THidDeviceController& controller, AppState& state, Log& log,
                                   ControlStates& controls, DialogService& dialogs, Actions actions)
    : controller_(controller), state_(state), log_(log), controls_(controls), dialogs_(dialogs),
      actions_(std::move(actions)) {}

void DeviceConnection::detect() {
    THidDevice*& tester = state_.TesterDevice;
    if (tester && tester->IsPluggedIn()) {
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
    controls_.testerCheckedOut();
    log_.clear();
    log_.add(QStringLiteral("Orvo tester detected ..."));
    actions_.askVersion();
    if (tester && !tester->HasReadWriteAccess()) {
        dialogs_.information(QString::fromLatin1(kNoAccessMessage));
    }
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
