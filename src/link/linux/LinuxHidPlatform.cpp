#include "link/linux/LinuxHidPlatform.h"

#include "link/linux/LinuxHidHandle.h"

#include <QFile>
#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kr90x {

using linux_hid::hidParent;
using linux_hid::LinuxHidHandle;
using linux_hid::text;
using linux_hid::UdevDevice;

namespace {

bool udevdRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

} // namespace

LinuxHidPlatform::LinuxHidPlatform() : udev_(udev_new()) {}

LinuxHidPlatform::~LinuxHidPlatform() {
    notifier_.reset();
    if (monitor_) {
        udev_monitor_unref(monitor_);
    }
    if (udev_) {
        udev_unref(udev_);
    }
}

std::vector<THidPnPInfo> LinuxHidPlatform::enumerate() {
    std::vector<THidPnPInfo> out;
    if (!udev_) {
        return out;
    }
    udev_enumerate* e = udev_enumerate_new(udev_);
    if (!e) {
        return out;
    }
    udev_enumerate_add_match_subsystem(e, "hidraw");
    // A node udevd has not finished with may still lack the permissions its rules give:
    // opened now, the tester would stay without access. Its "add" comes once it is
    // ready. Without udevd nothing is ever finished (libudev then lists no node at all
    // under this match), and no rules will come either.
    if (udevdRuns()) {
        udev_enumerate_add_match_is_initialized(e);
    }
    udev_enumerate_scan_devices(e);
    std::set<QString> stillThere;
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(e); entry;
         entry = udev_list_entry_get_next(entry)) {
        const QString syspath = text(udev_list_entry_get_name(entry));
        if (removed_.contains(syspath)) {
            stillThere.insert(syspath);
            continue;
        }
        UdevDevice dev(udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry)));
        if (!dev) {
            continue;
        }
        const char* node = udev_device_get_devnode(dev.get());
        udev_device* hid = hidParent(dev.get());
        if (!node || !hid) {
            continue;
        }
        out.push_back({text(node), text(udev_device_get_sysname(hid))});
    }
    udev_enumerate_unref(e);
    removed_ = std::move(stillThere); // gone from sysfs too: nothing left to hide
    return out;
}

std::unique_ptr<HidHandle> LinuxHidPlatform::open(const QString& path, HidAccess access) {
    if (!udev_) {
        return nullptr;
    }
    const QByteArray node = QFile::encodeName(path);
    // Without access rights the node can still be named and identified through sysfs.
    const int flags = access == HidAccess::ReadWrite ? O_RDWR | O_CLOEXEC : O_PATH | O_CLOEXEC;
    const int fd = ::open(node.constData(), flags);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    UdevDevice dev(udev_device_new_from_devnum(udev_, 'c', st.st_rdev));
    if (!dev) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LinuxHidHandle>(fd, access, std::move(dev));
}

void LinuxHidPlatform::watch(std::function<void()> notify) {
    notify_ = std::move(notify);
    if (!notify_ || monitor_ || !udev_) {
        return;
    }
    // The "udev" group hears events only when udevd runs, after it has applied the rules
    // (so permissions are in place); without udevd, listen to the kernel directly.
    monitor_ = udev_monitor_new_from_netlink(udev_, udevdRuns() ? "udev" : "kernel");
    if (!monitor_) {
        return;
    }
    udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
    if (udev_monitor_enable_receiving(monitor_) < 0) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return;
    }
    notifier_ =
        std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { drainMonitor(); });
}

void LinuxHidPlatform::drainMonitor() {
    // Several events may be waiting; one pass covers them all. The kernel group cannot
    // filter by subsystem, so it wakes us for every device: only hidraw events count.
    bool any = false;
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
        const char* subsystem = udev_device_get_subsystem(d);
        if (subsystem && std::strcmp(subsystem, "hidraw") == 0) {
            any = true;
            const QString syspath = text(udev_device_get_syspath(d));
            const char* action = udev_device_get_action(d);
            if (action && std::strcmp(action, "remove") == 0) {
                removed_.insert(syspath);
            } else {
                removed_.erase(syspath);
            }
        }
        udev_device_unref(d);
    }
    if (any && notify_) {
        notify_();
    }
}

} // namespace kr90x
