// glib's headers use a member named "signals": umockdev comes before anything of Qt's.
#include <umockdev.h>

#include "simulator/Testbed.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kr90x::sim {
namespace {

std::string hex4(int value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", value & 0xFFFF);
    return buf;
}
std::string upperHex(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, value);
    return buf;
}

} // namespace

Testbed::Testbed() : bed_(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    root_ = root;
    g_free(root);
}

Testbed::~Testbed() {
    for (int fd : heldSlaves_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    g_object_unref(bed_);
}

bool Testbed::preloaded() {
    return umockdev_in_mock_environment();
}

void Testbed::ensurePreloaded(char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "libumockdev-preload")) {
        return;
    }
    const std::string both = std::string("libumockdev-preload.so.0") +
                             (preload && *preload ? std::string(":") + preload : "");
    setenv("LD_PRELOAD", both.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("cannot restart with umockdev's preload library");
    std::exit(2);
}

Testbed::Device Testbed::plug(const HidSpec& spec) {
    const int usb = nextUsb_++;
    const int n = nextHidraw_++;
    const int counter = nextHidCounter_++;
    const std::string usbPath = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(usb);
    const std::string ifPath = usbPath + "/1-" + std::to_string(usb) + ":1.0";
    const std::string hidName = "0003:" + upperHex(spec.vendor, 4) + ":" +
                                upperHex(spec.product, 4) + "." + upperHex(counter, 4);
    const std::string hidPath = ifPath + "/" + hidName;
    const std::string node = "hidraw" + std::to_string(n);
    const std::string rawPath = hidPath + "/hidraw/" + node;
    const std::string description =
        "P: " + usbPath + "\nN: bus/usb/001/" + std::to_string(100 + usb) +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + hex4(spec.vendor) +
        "\nA: idProduct=" + hex4(spec.product) +
        "\nA: bcdDevice=0104\nA: product=" + spec.productName + "\n\nP: " + ifPath +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\nP: " + hidPath +
        "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000" + upperHex(spec.vendor, 4) + ":0000" +
        upperHex(spec.product, 4) + "\nE: HID_NAME=" + spec.productName +
        "\nH: report_descriptor=" + spec.descriptorHex + "\n\nP: " + rawPath + "\nN: " + node +
        "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + node + "\nA: dev=240:" + std::to_string(n) +
        "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(bed_, description.c_str(), &error)) {
        const std::string why = error ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + why);
    }
    Device d{"/sys" + rawPath, "/dev/" + node,
             umockdev_testbed_get_dev_fd(bed_, ("/dev/" + node).c_str())};
    // A pseudo-terminal whose other end nobody holds reads as hung up: this side would
    // see an endless end of file until the program opens the node. Hold it open here.
    if (const char* slave = d.master >= 0 ? ptsname(d.master) : nullptr) {
        heldSlaves_.push_back(::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC));
    }

    // umockdev does not fake fstat(): an open node reports the device number of its
    // pseudo-terminal, by which libudev must find the hidraw device. Give it that number.
    struct stat st {};
    const char* slave = d.master >= 0 ? ptsname(d.master) : nullptr;
    if (slave && ::stat(slave, &st) == 0 && major(st.st_rdev) != 240) {
        const std::string number =
            std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
        umockdev_testbed_set_attribute(bed_, d.syspath.c_str(), "dev", number.c_str());
        umockdev_testbed_set_property(bed_, d.syspath.c_str(), "MAJOR",
                                      std::to_string(major(st.st_rdev)).c_str());
        umockdev_testbed_set_property(bed_, d.syspath.c_str(), "MINOR",
                                      std::to_string(minor(st.st_rdev)).c_str());
        const std::filesystem::path link = root_ + "/sys/dev/char/" + number;
        std::error_code ec;
        std::filesystem::remove(link, ec);
        // Relative, as sysfs' own links are: the preload library resolves it under /sys.
        std::filesystem::create_directory_symlink("../.." + d.syspath.substr(4), link, ec);
        // umockdev's own "add" went out with the old number, which libudev in another
        // process cannot resolve: the node's "add" as the kernel would send it.
        umockdev_testbed_uevent(bed_, d.syspath.c_str(), "add");
    }
    return d;
}

void Testbed::unplug(const Device& device) {
    umockdev_testbed_uevent(bed_, device.syspath.c_str(), "remove");
    // The whole USB device goes: the hidraw node's ancestors up to it.
    std::string usb = device.syspath;
    for (int up = 0; up < 4; ++up) {
        usb = usb.substr(0, usb.rfind('/'));
    }
    umockdev_testbed_remove_device(bed_, usb.c_str());
}

void Testbed::announce(const Device& device, const char* action) {
    umockdev_testbed_uevent(bed_, device.syspath.c_str(), action);
}

bool Testbed::setNodeMode(const Device& device, mode_t mode) {
    const char* slave = device.master >= 0 ? ptsname(device.master) : nullptr;
    return slave && ::chmod(slave, mode) == 0;
}

void Testbed::openToEveryone() {
    // The preload library of the other process makes its sockets in the folders and
    // talks to this side's sockets (the nodes' ioctl emulation among them).
    namespace fs = std::filesystem;
    for (const auto& entry :
         fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied)) {
        if (!entry.is_symlink()) {
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
        }
    }
    ::chmod(root_.c_str(), 0777);
}

} // namespace kr90x::sim
