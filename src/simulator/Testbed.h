#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace kr90x::sim {

// The tester's report descriptor: vendor page, 64-byte input and output reports, no
// report IDs.
inline constexpr const char* kTesterDescriptorHex =
    "0600FF0901A10119012940150026FF00750895408100190129409100C0";

// A fake /sys and /dev with USB HID devices, as the kernel shows them to libudev, for
// programs that run with umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0
// and UMOCKDEV_DIR=rootDir() for another process). Each node is a pseudo-terminal whose
// other end, master(), is this side's: what the program writes to the node arrives
// there (65 bytes, report-ID byte first), and 64 bytes written there arrive as one
// report.
class Testbed {
public:
    struct HidSpec {
        int vendor = 0x04D8;
        int product = 0xF394;
        std::string productName = "Rirazereruver ovuvuv";
        std::string descriptorHex = kTesterDescriptorHex;
    };
    struct Device {
        std::string syspath; // of the hidraw node, under /sys
        std::string devnode; // /dev/hidrawN
        int master = -1;     // this side of the node; owned by the testbed
    };

    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    std::string rootDir() const { return root_; }

    // Plugs a device in: its USB device, interface, HID device and hidraw node, then the
    // "add" event. Every plug gets new names, as a re-plug does on a real machine.
    Device plug(const HidSpec& spec);
    // Takes a device out: the "remove" event, then its sysfs entries (in that order, as
    // the kernel's own events can come before sysfs is gone).
    void unplug(const Device& device);
    // An event for a device still present ("change", "add").
    void announce(const Device& device, const char* action);
    // The node's permissions (a node this user may not open, and back).
    bool setNodeMode(const Device& device, mode_t mode);
    // Lets another user (an unprivileged test process) use the testbed.
    void openToEveryone();

    // Whether this process runs with the preload library, so that it sees the testbed.
    static bool preloaded();
    // Starts this program again with the preload library unless it has it already (the
    // testbed's events are made from its fake /sys, which this side must see too).
    // Returns only when it has it; on failure it ends the process with status 2.
    static void ensurePreloaded(char** argv);

private:
    UMockdevTestbed* bed_;
    std::string root_;
    int nextUsb_ = 1;
    int nextHidraw_ = 0;
    int nextHidCounter_ = 1;
    std::vector<int> heldSlaves_;
};

} // namespace kr90x::sim
