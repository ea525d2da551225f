#pragma once

#include "link/HidPlatform.h"
#include "link/THidDevice.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace kr90x {

class DialogService;

// The program's HID layer: keeps the list of HID interfaces present, runs a pass over
// them when the system says the set of devices may have changed, and hands devices out
// (check-out) and takes them back (check-in).
class THidDeviceController : public QObject {
    Q_OBJECT
public:
    // Queues the first pass, which always reports a change, to run from the event loop.
    THidDeviceController(HidPlatform& platform, DialogService& dialogs, QObject* parent = nullptr);
    ~THidDeviceController() override;

    // Takes the first free device in list order with that vendor ID and product ID
    // (Pid -1: any product). HidDev is the device, or null when none qualifies.
    bool CheckOutByID(THidDevice*& HidDev, int Vid, int Pid);
    // Gives a device back; HidDev is null afterwards. A device found gone is destroyed.
    void CheckIn(THidDevice*& HidDev);
    // One enumeration pass; OnDeviceChange runs when the list changed.
    void DeviceChange() { pass(false); }

    std::function<void(THidDeviceController&)> OnDeviceChange;
    THidDataEvent OnDeviceData;
    // The first failed read of each checked-out device, with the system's error code.
    THidReadErrorEvent OnDeviceReadError;

    int DevThreadSleepTime = 100;
    int DevPollingDelayTime = 0;
    // Counted from the list when asked.
    int NumCheckedInDevices() const;
    int NumCheckedOutDevices() const;
    int NumUnpluggedDevices() const;

    const std::vector<std::unique_ptr<THidDevice>>& devices() const { return devices_; }

    // While held, notices wait (the first pass too); releasing runs one pass for them.
    // The window holds the first pass until it has been activated.
    void holdPasses(bool hold);

    // Runs the program's data handler for a report a reader has handed over; an error
    // escaping it is shown and the reader goes on.
    void deliverReport(THidDevice& device, std::uint8_t reportId, const std::uint8_t* data,
                       std::uint16_t size);
    // Runs the program's read-error handler for a device's first failed read.
    void deliverReadError(THidDevice& device, int error);

protected:
    void customEvent(QEvent* event) override;

private:
    // `first`: the pass queued at creation, which reports a change whatever it finds.
    void notice(bool first);
    void pass(bool alwaysReport);
    void runWaitingNoticeLater();
    std::vector<std::unique_ptr<THidDevice>>::iterator find(const THidDevice* device);

    HidPlatform& platform_;
    DialogService& dialogs_;
    std::vector<std::unique_ptr<THidDevice>> devices_;
    bool passRunning_ = false;
    bool held_ = false;
    bool noticeWaiting_ = false;
    bool firstWaiting_ = false;
    bool destroying_ = false;
};

} // namespace kr90x
