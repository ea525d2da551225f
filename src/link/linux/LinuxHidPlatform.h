#pragma once

#include "link/HidPlatform.h"

#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace kr90x {

// HID access on Linux through the kernel's hidraw nodes: libudev lists them and reports
// changes, the nodes are read and written directly, and report lengths come from each
// device's report descriptor.
class LinuxHidPlatform : public HidPlatform {
public:
    LinuxHidPlatform();
    ~LinuxHidPlatform() override;

    std::vector<THidPnPInfo> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString& path, HidAccess access) override;
    void watch(std::function<void()> notify) override;

private:
    void drainMonitor();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> notify_;
};

} // namespace kr90x
