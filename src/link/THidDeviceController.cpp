#include "link/THidDeviceController.h"

#include "core/HandlerGuard.h"
#include "link/THidDeviceReadThread.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace kr90x {

THidDeviceController::THidDeviceController(HidPlatform& platform, DialogService& dialogs,
                                           QObject* parent)
    : QObject(parent), platform_(platform), dialogs_(dialogs) {
    platform_.watch([this] { notice(false); });
    QMetaObject::invokeMethod(
        this, [this] { notice(true); }, Qt::QueuedConnection);
}

THidDeviceController::~THidDeviceController() {
    destroying_ = true;
    OnDeviceChange = nullptr;
    OnDeviceData = nullptr;
    platform_.watch(nullptr);
    for (auto& device : devices_) {
        device->detachController();
        if (device->IsCheckedOut()) {
            device->markUnplugged();
        }
        device.reset(); // stops its reader
    }
    devices_.clear();
}

void THidDeviceController::notice(bool first) {
    if (destroying_) {
        return;
    }
    if (passRunning_ || held_) {
        // A handler of this pass may run the event loop (a message box), and the change
        // that comes meanwhile must not be lost: one more pass follows.
        noticeWaiting_ = true;
        firstWaiting_ = firstWaiting_ || first;
        return;
    }
    // Cleared however the pass ends, so that later notices still run passes.
    struct PassFlag {
        bool& flag;
        explicit PassFlag(bool& f) : flag(f) { flag = true; }
        ~PassFlag() { flag = false; }
    } passFlag(passRunning_);
    pass(first);
    runWaitingNoticeLater();
}

void THidDeviceController::runWaitingNoticeLater() {
    if (!noticeWaiting_ || held_ || destroying_) {
        return;
    }
    noticeWaiting_ = false;
    const bool first = std::exchange(firstWaiting_, false);
    QMetaObject::invokeMethod(
        this, [this, first] { notice(first); }, Qt::QueuedConnection);
}

void THidDeviceController::holdPasses(bool hold) {
    held_ = hold;
    runWaitingNoticeLater();
}

void THidDeviceController::pass(bool alwaysReport) {
    bool changed = alwaysReport;

    std::vector<std::unique_ptr<THidDevice>> fresh;
    for (THidPnPInfo& info : platform_.enumerate()) {
        try {
            fresh.push_back(std::make_unique<THidDevice>(this, platform_, std::move(info),
                                                         DevThreadSleepTime, DevPollingDelayTime,
                                                         OnDeviceData, OnDeviceReadError));
        } catch (const HidDeviceError&) {
            // An interface that cannot be opened or identified is not ours to use.
        }
    }

    auto inFresh = [&](const QString& id) -> THidDevice* {
        auto it = std::find_if(fresh.begin(), fresh.end(),
                               [&](const auto& f) { return f->PnPInfo().DeviceID == id; });
        return it == fresh.end() ? nullptr : it->get();
    };
    for (auto it = devices_.end(); it != devices_.begin();) {
        --it;
        THidDevice& device = **it;
        if (THidDevice* same =
                device.IsPluggedIn() ? inFresh(device.PnPInfo().DeviceID) : nullptr) {
            if (!device.HasReadWriteAccess() && same->HasReadWriteAccess()) {
                device.gainAccess();
                changed = true;
            }
            continue;
        }
        if (device.IsPluggedIn()) {
            device.markUnplugged();
        }
        if (!device.IsCheckedOut()) {
            it = devices_.erase(it);
        }
        changed = true;
    }

    for (auto& entry : fresh) {
        const bool duplicate = std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) {
            return d->IsPluggedIn() && d->PnPInfo().DeviceID == entry->PnPInfo().DeviceID;
        });
        if (duplicate) {
            entry->detachController();
            entry.reset();
            continue;
        }
        devices_.push_back(std::move(entry));
        changed = true;
    }

    if (changed && OnDeviceChange) {
        OnDeviceChange(*this);
    }
}

bool THidDeviceController::CheckOutByID(THidDevice*& HidDev, int Vid, int Pid) {
    HidDev = nullptr;
    for (auto& device : devices_) {
        const THidAttributes& a = device->Attributes();
        if (a.VendorID == Vid && (Pid == -1 || a.ProductID == Pid) && !device->IsCheckedOut()) {
            device->checkOut();
            HidDev = device.get();
            return true;
        }
    }
    return false;
}

void THidDeviceController::CheckIn(THidDevice*& HidDev) {
    if (HidDev == nullptr) {
        return;
    }
    THidDevice* device = HidDev;
    HidDev = nullptr;
    device->checkIn();
    if (!device->IsPluggedIn()) {
        if (auto it = find(device); it != devices_.end()) {
            devices_.erase(it);
        }
    }
}

void THidDeviceController::deliverReport(THidDevice& device, std::uint8_t reportId,
                                         const std::uint8_t* data, std::uint16_t size) {
    runGuarded(dialogs_, [&] {
        if (device.OnData) {
            device.OnData(device, reportId, data, size);
        }
    });
}

void THidDeviceController::deliverReadError(THidDevice& device, int error) {
    runGuarded(dialogs_, [&] {
        if (device.OnReadError) {
            device.OnReadError(device, error);
        }
    });
}

void THidDeviceController::customEvent(QEvent* event) {
    THidDeviceReadThread::handleEvent(event);
}

int THidDeviceController::NumCheckedInDevices() const {
    return static_cast<int>(std::count_if(devices_.begin(), devices_.end(), [](const auto& d) {
        return d->IsPluggedIn() && !d->IsCheckedOut();
    }));
}

int THidDeviceController::NumCheckedOutDevices() const {
    return static_cast<int>(std::count_if(devices_.begin(), devices_.end(), [](const auto& d) {
        return d->IsPluggedIn() && d->IsCheckedOut();
    }));
}

int THidDeviceController::NumUnpluggedDevices() const {
    return static_cast<int>(std::count_if(devices_.begin(), devices_.end(),
                                          [](const auto& d) { return !d->IsPluggedIn(); }));
}

std::vector<std::unique_ptr<THidDevice>>::iterator
THidDeviceController::find(const THidDevice* device) {
    return std::find_if(devices_.begin(), devices_.end(),
                        [&](const auto& d) { return d.get() == device; });
}

} // namespace kr90x
