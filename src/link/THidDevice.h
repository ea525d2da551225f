#pragma once

#include "link/HidPlatform.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>

namespace kr90x {

class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;

// An input report handed to the program: ReportID is the report's first byte, Data the
// rest (Size bytes), valid only during the call.
using THidDataEvent = std::function<void(THidDevice& HidDev, std::uint8_t ReportID,
                                         const std::uint8_t* Data, std::uint16_t Size)>;
// A read of the device failed; `error` is the system's error code.
using THidReadErrorEvent = std::function<void(THidDevice& HidDev, int error)>;

// A device interface that cannot be taken into the list.
class HidDeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One HID interface present on the machine. Created and owned by the controller; the
// program uses it between check-out and check-in. Every member runs on the main thread.
class THidDevice {
public:
    // Opens the interface to learn its access rights and identity, then closes it again.
    // Throws HidDeviceError "Device cannot be opened" or "Device cannot be identified".
    THidDevice(THidDeviceController* controller, HidPlatform& platform, THidPnPInfo info,
               int threadSleepTime, int pollingDelayTime, THidDataEvent onData,
               THidReadErrorEvent onReadError = {});
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    const THidPnPInfo& PnPInfo() const { return pnpInfo_; }
    bool IsPluggedIn() const { return pluggedIn_; }
    bool IsCheckedOut() const { return checkedOut_; }
    bool HasReadWriteAccess() const { return readWriteAccess_; }
    const THidAttributes& Attributes() const { return attributes_; }
    // Report lengths; all zero when the device cannot be asked.
    THidCaps Caps();
    // Why Caps() are not the device's own, once they have been asked; usually empty.
    const QString& CapsNote() const { return capsNote_; }
    // The product string, asked once it can be had, then kept.
    QString ProductName();

    // Writes one output report (report ID first). False when the device is gone, not
    // checked out, or the write fails.
    bool WriteFile(std::span<const std::uint8_t> Report, std::size_t& BytesWritten);

    int ThreadSleepTime() const { return threadSleepTime_; }
    void setThreadSleepTime(int ms);
    int PollingDelayTime() const { return pollingDelayTime_; }
    void setPollingDelayTime(int ms);

    bool hasReader() const { return reader_ != nullptr; }
    THidDataEvent OnData;
    // Told of the first read that fails after each check-out.
    THidReadErrorEvent OnReadError;
    std::function<void(THidDevice&)> OnUnplug;

private:
    friend class THidDeviceController;

    void checkOut();
    void checkIn();
    void markUnplugged();
    // A pass opened the interface anew with read and write access where this device had
    // none (udev applied its rules late): the device takes it, and its reader starts.
    void gainAccess();
    void detachController() { controller_ = nullptr; }
    void startReader();
    void stopReader();
    // The reader's handle could not be opened: try again after the sleep period, as long
    // as the device is checked out.
    void retryReaderLater();
    bool openSync();
    void closeHandles();

    THidDeviceController* controller_;
    HidPlatform& platform_;
    THidPnPInfo pnpInfo_;
    bool pluggedIn_ = true;
    bool checkedOut_ = false;
    bool readWriteAccess_ = false;
    THidAttributes attributes_;
    std::unique_ptr<THidCaps> preparsed_;
    QString capsNote_;
    QString productName_;
    int threadSleepTime_;
    int pollingDelayTime_;
    std::unique_ptr<HidHandle> sync_;
    std::shared_ptr<HidHandle> read_;
    std::unique_ptr<THidDeviceReadThread> reader_;
    std::unique_ptr<QTimer> readerRetry_;
};

} // namespace kr90x
