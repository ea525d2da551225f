#include "link/linux/LinuxHidHandle.h"

#include "link/TesterIdentity.h"

#include <QFile>
#include <QStringList>

#include <libudev.h>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kr90x::linux_hid {
namespace {

// The largest report descriptor the kernel hands out.
constexpr qint64 kMaxDescriptorSize = 4096;

} // namespace

void UdevDeviceDeleter::operator()(udev_device* d) const {
    udev_device_unref(d);
}

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

udev_device* hidParent(udev_device* hidraw) {
    return udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
}

LinuxHidHandle::LinuxHidHandle(int fd, HidAccess access, UdevDevice device)
    : fd_(fd), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), access_(access),
      device_(std::move(device)) {
    layout_ = readLayout();
    // Without the descriptor there are no report lengths. The tester is known to use
    // 64-byte reports each way; without them the program would never hear from it and
    // take it for a silent one.
    THidAttributes a;
    if (!layout_ && attributes(a) && a.VendorID == kTesterVendorId &&
        a.ProductID == kTesterProductId) {
        layout_ = ReportLayout{{kTesterReportLength, kTesterReportLength, 0}, false};
        capsNote_ += QStringLiteral("; the tester's 64-byte reports assumed");
    }
}

LinuxHidHandle::~LinuxHidHandle() {
    ::close(fd_);
    if (wake_ >= 0) {
        ::close(wake_);
    }
}

bool LinuxHidHandle::attributes(THidAttributes& out) {
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

bool LinuxHidHandle::caps(THidCaps& out) {
    if (!layout_) {
        return false;
    }
    out = layout_->caps;
    return true;
}

QString LinuxHidHandle::productString() {
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(device_.get(), "usb", "usb_device")) {
        if (const char* p = udev_device_get_sysattr_value(usb, "product")) {
            return text(p);
        }
    }
    udev_device* hid = hidParent(device_.get());
    return hid ? text(udev_device_get_property_value(hid, "HID_NAME")) : QString();
}

bool LinuxHidHandle::write(std::span<const std::uint8_t> report, std::size_t& written) {
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

HidReadResult LinuxHidHandle::read(std::span<std::uint8_t> buffer,
                                   std::chrono::milliseconds timeout) {
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
        return errno == EAGAIN || errno == EINTR ? HidReadResult{HidReadStatus::Timeout, 0, 0}
                                                 : HidReadResult{HidReadStatus::Failed, 0, errno};
    }
    if (!ids) {
        buffer[0] = 0;
        return {HidReadStatus::Data, static_cast<std::size_t>(n) + 1, 0};
    }
    return {HidReadStatus::Data, static_cast<std::size_t>(n), 0};
}

void LinuxHidHandle::close() {
    closed_.store(true);
    const std::uint64_t one = 1;
    if (wake_ >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }
}

std::optional<ReportLayout> LinuxHidHandle::readLayout() {
    udev_device* hid = hidParent(device_.get());
    if (!hid) {
        return std::nullopt;
    }
    const QString path = text(udev_device_get_syspath(hid)) + QStringLiteral("/report_descriptor");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        capsNote_ = QStringLiteral("Report descriptor unreadable: ") + file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxDescriptorSize);
    std::optional<ReportLayout> layout =
        parseReportDescriptor(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        static_cast<std::size_t>(bytes.size())));
    if (!layout) {
        capsNote_ = QStringLiteral("Report descriptor refused (%1 bytes)").arg(bytes.size());
    }
    return layout;
}

} // namespace kr90x::linux_hid
