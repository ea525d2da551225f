#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kr90x {

// One HID interface present on the machine.
struct THidPnPInfo {
    QString DevicePath; // what open() takes
    QString DeviceID;   // identity across passes; a re-plugged device gets a new one
};

struct THidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// Report lengths in bytes, report-ID byte included; 0 when the device has no such report.
struct THidCaps {
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
};

enum class HidAccess { ReadWrite, None };

enum class HidReadStatus { Data, Timeout, Failed };

struct HidReadResult {
    HidReadStatus status = HidReadStatus::Failed;
    std::size_t bytes = 0; // with Data: bytes in the buffer, report-ID byte first
    int error = 0;         // with Failed: the system's error code, 0 when closed by us
};

// An open device interface. Reads happen on a reader thread while the main thread may
// write through another handle of the same device, or close() this one: close() is the
// only call that may come from another thread than the one using the handle.
class HidHandle {
public:
    virtual ~HidHandle() = default;

    virtual HidAccess access() const = 0;
    virtual bool attributes(THidAttributes& out) = 0;
    virtual bool caps(THidCaps& out) = 0;
    // Why the report lengths are not the device's own (a descriptor it could not read),
    // empty when they are.
    virtual QString capsNote() const { return {}; }
    virtual QString productString() = 0;
    // Writes one output report; report[0] is the report ID.
    virtual bool write(std::span<const std::uint8_t> report, std::size_t& written) = 0;
    // Waits at most `timeout` for one input report and copies it into `buffer`, report-ID
    // byte first (0 for a device without report IDs); a longer report is cut to the buffer.
    virtual HidReadResult read(std::span<std::uint8_t> buffer,
                               std::chrono::milliseconds timeout) = 0;
    // Ends a pending read at once; every later read fails.
    virtual void close() = 0;
};

// The system's HID access: what is present, opening it, and notices of change.
class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // Interfaces present now, in the system's order.
    virtual std::vector<THidPnPInfo> enumerate() = 0;
    // Opens an interface; null when it cannot be opened with that access.
    virtual std::unique_ptr<HidHandle> open(const QString& path, HidAccess access) = 0;
    // `notify` runs on the main thread whenever the set of devices may have changed.
    virtual void watch(std::function<void()> notify) = 0;
};

} // namespace kr90x
