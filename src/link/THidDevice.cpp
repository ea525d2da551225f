#include "link/THidDevice.h"

#include "link/THidDeviceController.h"
#include "link/THidDeviceReadThread.h"

namespace kr90x {

THidDevice::THidDevice(THidDeviceController* controller, HidPlatform& platform, THidPnPInfo info,
                       int threadSleepTime, int pollingDelayTime, THidDataEvent onData,
                       THidReadErrorEvent onReadError)
    : OnData(std::move(onData)), OnReadError(std::move(onReadError)), controller_(controller),
      platform_(platform), pnpInfo_(std::move(info)), threadSleepTime_(threadSleepTime),
      pollingDelayTime_(pollingDelayTime) {
    std::unique_ptr<HidHandle> h = platform_.open(pnpInfo_.DevicePath, HidAccess::ReadWrite);
    readWriteAccess_ = h != nullptr;
    if (!h) {
        h = platform_.open(pnpInfo_.DevicePath, HidAccess::None);
    }
    if (!h) {
        throw HidDeviceError("Device cannot be opened");
    }
    if (!h->attributes(attributes_)) {
        throw HidDeviceError("Device cannot be identified");
    }
}

THidDevice::~THidDevice() {
    OnData = nullptr;
    OnReadError = nullptr;
    stopReader();
    OnUnplug = nullptr;
    closeHandles();
}

void THidDevice::setThreadSleepTime(int ms) {
    if (ms >= 10 && ms <= 10000) {
        threadSleepTime_ = ms;
    }
}

void THidDevice::setPollingDelayTime(int ms) {
    if (ms >= 0 && ms <= 10000) {
        pollingDelayTime_ = ms;
    }
}

bool THidDevice::openSync() {
    if (sync_) {
        return true;
    }
    if (!pluggedIn_ || !checkedOut_) {
        return false;
    }
    sync_ = platform_.open(pnpInfo_.DevicePath, HidAccess::ReadWrite);
    if (!sync_) {
        sync_ = platform_.open(pnpInfo_.DevicePath, HidAccess::None);
    }
    return sync_ != nullptr;
}

THidCaps THidDevice::Caps() {
    if (!preparsed_) {
        // Asked once through a handle of our own, which is closed again at once.
        std::unique_ptr<HidHandle> h;
        if (pluggedIn_) {
            h = platform_.open(pnpInfo_.DevicePath, HidAccess::ReadWrite);
            if (!h) {
                h = platform_.open(pnpInfo_.DevicePath, HidAccess::None);
            }
        }
        THidCaps caps;
        if (!h || !h->caps(caps)) {
            return THidCaps{};
        }
        preparsed_ = std::make_unique<THidCaps>(caps);
        capsNote_ = h->capsNote();
    }
    return *preparsed_;
}

QString THidDevice::ProductName() {
    if (productName_.isEmpty() && openSync()) {
        productName_ = sync_->productString().left(254);
        const qsizetype nul = productName_.indexOf(QChar(0));
        if (nul >= 0) {
            productName_.truncate(nul);
        }
        sync_.reset();
    }
    return productName_;
}

bool THidDevice::WriteFile(std::span<const std::uint8_t> Report, std::size_t& BytesWritten) {
    BytesWritten = 0;
    if (!openSync()) {
        return false;
    }
    return sync_->write(Report, BytesWritten);
}

void THidDevice::checkOut() {
    checkedOut_ = true;
    startReader();
}

void THidDevice::gainAccess() {
    readWriteAccess_ = true;
    sync_.reset(); // opened without access rights: the next write opens it anew
    startReader();
}

void THidDevice::checkIn() {
    stopReader();
    closeHandles();
    if (pluggedIn_) {
        checkedOut_ = false;
    }
}

void THidDevice::markUnplugged() {
    closeHandles();
    pluggedIn_ = false;
    if (OnUnplug) {
        auto handler = std::move(OnUnplug);
        OnUnplug = nullptr;
        handler(*this);
    }
}

void THidDevice::startReader() {
    if (!OnData || !pluggedIn_ || !checkedOut_ || !readWriteAccess_ || reader_ || !controller_) {
        return;
    }
    read_ = platform_.open(pnpInfo_.DevicePath, HidAccess::ReadWrite);
    if (!read_) {
        retryReaderLater();
        return;
    }
    const THidCaps caps = Caps();
    reader_ = std::make_unique<THidDeviceReadThread>(*this, *controller_, read_,
                                                     caps.InputReportByteLength);
}

void THidDevice::retryReaderLater() {
    if (!readerRetry_) {
        // Owned by the device: no retry runs after the device is gone.
        readerRetry_ = std::make_unique<QTimer>();
        readerRetry_->setSingleShot(true);
        QObject::connect(readerRetry_.get(), &QTimer::timeout, [this] { startReader(); });
    }
    readerRetry_->start(threadSleepTime_);
}

void THidDevice::stopReader() {
    if (readerRetry_) {
        readerRetry_->stop();
    }
    if (reader_) {
        reader_->stop();
        reader_.reset();
    }
}

void THidDevice::closeHandles() {
    sync_.reset();
    if (read_) {
        // The reader may be inside a read on it: closing ends that read without data;
        // the handle itself goes when the reader lets go of it.
        read_->close();
        read_.reset();
    }
}

} // namespace kr90x
