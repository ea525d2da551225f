#include "link/linux/LinuxHidPlatform.h"

#include "link/ReportDescriptor.h"

#include <QFile>
#include <QSocketNotifier>

#include <libudev.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kr90x {
namespace {

// The largest report descriptor the kernel hands out.
constexpr qint64 kMaxDescriptorSize = 4096;

struct UdevDeviceDeleter {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceDeleter>;

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

// The HID parent of a hidraw node: its sysname (bus:vendor:product.counter) names one
// plug-in of the interface, which the node number does not (it is reused).
udev_device* hidParent(udev_device* hidraw) {
    return udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
}

class LinuxHidHandle : public HidHandle {
public:
    LinuxHidHandle(int fd, HidAccess access, UdevDevice device)
        : fd_(fd), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), access_(access),
          device_(std::move(device)) {
        layout_ = readLayout();
    }

    ~LinuxHidHandle() override {
        ::close(fd_);
        if (wake_ >= 0) {
            ::close(wake_);
        }
    }

    HidAccess access() const override { return access_; }

    bool attributes(THidAttributes& out) override {
        udev_device* hid = hidParent(device_.get());
        if (!hid) {
            return false;
        }
        // HID_ID is "bus:vendor:product" in hex, e.g. 0003:000004D8:0000F394.
        const QStringList id = text(udev_device_get_property_value(hid, "HID_ID")).split(u':');
        bool okV = false;
        bool okP = false;
        if (id.size() != 3) {
            return false;
        }
        const uint vendor = id[1].toUInt(&okV, 16);
        const uint product = id[2].toUInt(&okP, 16);
        if (!okV || !okP || vendor > 0xFFFF || product > 0xFFFF) {
            return false;
        }
        out.VendorID = static_cast<std::uint16_t>(vendor);
        out.ProductID = static_cast<std::uint16_t>(product);
        out.VersionNumber = 0;
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(device_.get(), "usb", "usb_device")) {
            out.VersionNumber = static_cast<std::uint16_t>(
                text(udev_device_get_sysattr_value(usb, "bcdDevice")).toUInt(nullptr, 16));
        }
        return true;
    }

    bool caps(THidCaps& out) override {
        if (!layout_) {
            return false;
        }
        out = layout_->caps;
        return true;
    }

    QString productString() override {
        if (udev_device* usb =
                udev_device_get_parent_with_subsystem_devtype(device_.get(), "usb", "usb_device")) {
            if (const char* p = udev_device_get_sysattr_value(usb, "product")) {
                return text(p);
            }
        }
        udev_device* hid = hidParent(device_.get());
        return hid ? text(udev_device_get_property_value(hid, "HID_NAME")) : QString();
    }

    bool write(std::span<const std::uint8_t> report, std::size_t& written) override {
        written = 0;
        if (access_ != HidAccess::ReadWrite || closed_.load() || report.empty()) {
            return false;
        }
        // hidraw takes the report-ID byte first and drops it when it is 0.
        const ssize_t n = ::write(fd_, report.data(), report.size());
        if (n < 0) {
            return false;
        }
        written = static_cast<std::size_t>(n);
        return true;
    }

    HidReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (closed_.load() || access_ != HidAccess::ReadWrite || buffer.size() < 2) {
            return {HidReadStatus::Failed, 0, closed_.load() ? 0 : EBADF};
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        const int r = ::poll(fds, 2, static_cast<int>(timeout.count()));
        if (r < 0) {
            return errno == EINTR ? HidReadResult{HidReadStatus::Timeout, 0, 0}
                                  : HidReadResult{HidReadStatus::Failed, 0, errno};
        }
        if (r == 0) {
            return {HidReadStatus::Timeout, 0, 0};
        }
        if (closed_.load() || (fds[1].revents & POLLIN)) {
            return {HidReadStatus::Failed, 0, 0};
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            return {HidReadStatus::Failed, 0, ENODEV};
        }
        // Without report IDs the node gives the data bytes only: put the 0 ID in front.
        const bool ids = layout_ && layout_->usesReportIds;
        std::uint8_t* into = ids ? buffer.data() : buffer.data() + 1;
        const std::size_t room = ids ? buffer.size() : buffer.size() - 1;
        const ssize_t n = ::read(fd_, into, room);
        if (n < 0) {
            return errno == EAGAIN || errno == EINTR
                       ? HidReadResult{HidReadStatus::Timeout, 0, 0}
                       : HidReadResult{HidReadStatus::Failed, 0, errno};
        }
        if (!ids) {
            buffer[0] = 0;
            return {HidReadStatus::Data, static_cast<std::size_t>(n) + 1, 0};
        }
        return {HidReadStatus::Data, static_cast<std::size_t>(n), 0};
    }

    void close() override {
        closed_.store(true);
        const std::uint64_t one = 1;
        if (wake_ >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        }
    }

private:
    std::optional<ReportLayout> readLayout() {
        udev_device* hid = hidParent(device_.get());
        if (!hid) {
            return std::nullopt;
        }
        QFile file(text(udev_device_get_syspath(hid)) + QStringLiteral("/report_descriptor"));
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        const QByteArray bytes = file.read(kMaxDescriptorSize);
        return parseReportDescriptor(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                               static_cast<std::size_t>(bytes.size())));
    }

    int fd_;
    int wake_;
    HidAccess access_;
    UdevDevice device_;
    std::optional<ReportLayout> layout_;
    std::atomic<bool> closed_{false};
};

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
    udev_enumerate_scan_devices(e);
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(e); entry;
         entry = udev_list_entry_get_next(entry)) {
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
    const bool udevd = ::access("/run/udev/control", F_OK) == 0;
    monitor_ = udev_monitor_new_from_netlink(udev_, udevd ? "udev" : "kernel");
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
    // Several events may be waiting; one pass covers them all.
    bool any = false;
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
        any = true;
        udev_device_unref(d);
    }
    if (any && notify_) {
        notify_();
    }
}

} // namespace kr90x
