#pragma once

#include "link/HidPlatform.h"

#include <QString>

#include <memory>
#include <set>

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
    // Nodes whose removal the kernel announced while sysfs may still show them for a
    // moment (the kernel's own events come before the kernel has finished): a pass must
    // not find them again. By syspath; an add of the same path takes it back.
    std::set<QString> removed_;
};

} // namespace kr90x
