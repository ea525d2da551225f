#pragma once

#include "link/HidPlatform.h"
#include "link/ReportDescriptor.h"

#include <atomic>
#include <memory>
#include <optional>

struct udev_device;

namespace kr90x::linux_hid {

struct UdevDeviceDeleter {
    void operator()(udev_device* d) const;
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceDeleter>;

QString text(const char* s);
// The HID parent of a hidraw node: its sysname (bus:vendor:product.counter) names one
// plug-in of the interface, which the node number does not (it is reused).
udev_device* hidParent(udev_device* hidraw);

// An open /dev/hidrawN. Reads poll the node together with an eventfd, so that close()
// from another thread ends a pending read at once.
class LinuxHidHandle : public HidHandle {
public:
    LinuxHidHandle(int fd, HidAccess access, UdevDevice device);
    ~LinuxHidHandle() override;

    HidAccess access() const override { return access_; }
    bool attributes(THidAttributes& out) override;
    bool caps(THidCaps& out) override;
    QString capsNote() const override { return capsNote_; }
    QString productString() override;
    bool write(std::span<const std::uint8_t> report, std::size_t& written) override;
    HidReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override;
    void close() override;

private:
    std::optional<ReportLayout> readLayout();

    int fd_;
    int wake_;
    HidAccess access_;
    UdevDevice device_;
    std::optional<ReportLayout> layout_;
    QString capsNote_;
    std::atomic<bool> closed_{false};
};

} // namespace kr90x::linux_hid
