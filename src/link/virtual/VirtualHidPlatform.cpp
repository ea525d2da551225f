#include "link/virtual/VirtualHidPlatform.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace kr90x {

void VirtualHidDevice::sendInput(std::vector<std::uint8_t> report,
                                 std::chrono::milliseconds delay) {
    {
        std::lock_guard lock(mutex_);
        input_.push_back({Clock::now() + delay, std::move(report)});
    }
    changed_.notify_all();
}

void VirtualHidDevice::flood(std::vector<std::uint8_t> report) {
    {
        std::lock_guard lock(mutex_);
        flood_ = std::move(report);
    }
    changed_.notify_all();
}

std::vector<std::vector<std::uint8_t>> VirtualHidDevice::written() const {
    std::lock_guard lock(mutex_);
    return {written_.begin(), written_.end()};
}

std::size_t VirtualHidDevice::pendingInput() const {
    std::lock_guard lock(mutex_);
    return input_.size();
}

void VirtualHidDevice::failReads(int error) {
    {
        std::lock_guard lock(mutex_);
        readError_ = error;
    }
    changed_.notify_all();
}

int VirtualHidDevice::failedReads() const {
    std::lock_guard lock(mutex_);
    return failedReads_;
}

bool VirtualHidDevice::pluggedIn() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

// An open virtual device. Reads take from the device's input queue.
class VirtualHidHandle : public HidHandle {
public:
    VirtualHidHandle(std::shared_ptr<VirtualHidDevice> device, HidAccess access)
        : device_(std::move(device)), access_(access) {}

    HidAccess access() const override { return access_; }

    bool attributes(THidAttributes& out) override {
        if (device_->unidentifiable) {
            return false;
        }
        out = device_->attributes;
        return true;
    }

    bool caps(THidCaps& out) override {
        out = device_->caps;
        return true;
    }

    QString productString() override { return device_->product; }

    bool write(std::span<const std::uint8_t> report, std::size_t& written) override {
        written = 0;
        {
            std::lock_guard lock(device_->mutex_);
            if (closed_ || !device_->plugged_ || access_ != HidAccess::ReadWrite ||
                device_->failWrites) {
                return false;
            }
            device_->written_.emplace_back(report.begin(), report.end());
            if (device_->written_.size() > VirtualHidDevice::kWrittenKept) {
                device_->written_.pop_front();
            }
        }
        written = report.size();
        if (device_->onOutput) {
            device_->onOutput(report);
        }
        return true;
    }

    HidReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        using Clock = VirtualHidDevice::Clock;
        VirtualHidDevice& d = *device_;
        const Clock::time_point until = Clock::now() + timeout;
        std::unique_lock lock(d.mutex_);
        for (;;) {
            if (closed_) {
                return {HidReadStatus::Failed, 0, 0};
            }
            if (!d.plugged_ || d.readError_ != 0) {
                ++d.failedReads_;
                return {HidReadStatus::Failed, 0, d.plugged_ ? d.readError_ : EIO};
            }
            if (!d.flood_.empty()) {
                const std::size_t n = std::min(d.flood_.size(), buffer.size());
                std::copy_n(d.flood_.begin(), n, buffer.begin());
                return {HidReadStatus::Data, n, 0};
            }
            const Clock::time_point now = Clock::now();
            if (!d.input_.empty() && d.input_.front().due <= now) {
                std::vector<std::uint8_t> bytes = std::move(d.input_.front().bytes);
                d.input_.pop_front();
                const std::size_t n = std::min(bytes.size(), buffer.size());
                std::copy_n(bytes.begin(), n, buffer.begin());
                return {HidReadStatus::Data, n, 0};
            }
            if (now >= until) {
                return {HidReadStatus::Timeout, 0, 0};
            }
            Clock::time_point wakeAt = until;
            if (!d.input_.empty()) {
                wakeAt = std::min(wakeAt, d.input_.front().due);
            }
            d.changed_.wait_until(lock, wakeAt);
        }
    }

    void close() override {
        {
            std::lock_guard lock(device_->mutex_);
            closed_ = true;
        }
        device_->changed_.notify_all();
    }

private:
    std::shared_ptr<VirtualHidDevice> device_;
    HidAccess access_;
    bool closed_ = false; // guarded by the device's mutex
};

std::vector<THidPnPInfo> VirtualHidPlatform::enumerate() {
    std::vector<THidPnPInfo> out;
    for (const Entry& e : present_) {
        out.push_back(e.info);
    }
    return out;
}

std::unique_ptr<HidHandle> VirtualHidPlatform::open(const QString& path, HidAccess access) {
    auto it = std::find_if(present_.begin(), present_.end(),
                           [&](const Entry& e) { return e.info.DevicePath == path; });
    if (it == present_.end()) {
        return nullptr;
    }
    if (access == HidAccess::ReadWrite && it->device->denyAccess) {
        return nullptr;
    }
    if (access == HidAccess::ReadWrite && it->device->failOpens > 0) {
        --it->device->failOpens;
        return nullptr;
    }
    return std::make_unique<VirtualHidHandle>(it->device, access);
}

void VirtualHidPlatform::watch(std::function<void()> notify) {
    notify_ = std::move(notify);
}

void VirtualHidPlatform::plug(std::shared_ptr<VirtualHidDevice> device) {
    const int n = nextInstance_++;
    {
        std::lock_guard lock(device->mutex_);
        device->plugged_ = true;
    }
    present_.push_back({{QStringLiteral("virtual:%1").arg(n),
                         QStringLiteral("VIRTUAL:%1:%2.%3")
                             .arg(device->attributes.VendorID, 4, 16, QLatin1Char('0'))
                             .arg(device->attributes.ProductID, 4, 16, QLatin1Char('0'))
                             .arg(n, 4, 10, QLatin1Char('0'))},
                        std::move(device)});
    raiseNotice();
}

void VirtualHidPlatform::unplug(const std::shared_ptr<VirtualHidDevice>& device) {
    {
        std::lock_guard lock(device->mutex_);
        device->plugged_ = false;
    }
    device->changed_.notify_all();
    std::erase_if(present_, [&](const Entry& e) { return e.device == device; });
    raiseNotice();
}

void VirtualHidPlatform::raiseNotice() {
    // Like the system's notice: it comes through the event loop, never inside the caller,
    // and only to whoever was listening when the change happened.
    if (!notify_) {
        return;
    }
    QMetaObject::invokeMethod(
        &noticeContext_,
        [this] {
            if (notify_) {
                notify_();
            }
        },
        Qt::QueuedConnection);
}

} // namespace kr90x
