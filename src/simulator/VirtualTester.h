#pragma once

#include "core/Cylinders.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "simulator/TesterOptions.h"

#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kr90x {

// A simulated KR90X: answers every command of the tester's protocol with plausible data,
// and shows the situations a real one (or its cable) can show, as its options say. The
// same logic answers on an in-process virtual device (device()) and behind a fake hidraw
// node (sim::PtyTester).
class VirtualTester : public std::enable_shared_from_this<VirtualTester> {
public:
    static constexpr int kVendorId = 0x04D8;
    static constexpr int kProductId = 0xF394;
    // 64 data bytes after the report-ID byte, as the real tester sends.
    static constexpr std::size_t kInputReportLength = 65;

    static std::shared_ptr<VirtualTester> create();

    const std::shared_ptr<VirtualHidDevice>& device() const { return device_; }

    // The reply to one command text, without the report framing; empty for no reply.
    QString replyTo(const QString& command) const;
    // The input report (report-ID byte first) that answers one output report, faults
    // included; nothing when the tester stays silent.
    std::optional<std::vector<std::uint8_t>>
    inputReportFor(std::span<const std::uint8_t> outputReport) const;
    // How long whoever carries a reply waits before it sends it: the delay and the pace.
    std::chrono::milliseconds replyWait() const { return options.delay + options.pace; }
    // Counts a reply sent. After the options' unplug-after count of them, the tester is
    // pulled out (once) as the program sends its next command, so that every reply sent
    // has been read: pullOutNow() says so, once, to whoever carries the commands.
    void countReply();
    bool pullOutNow();

    // What it holds and how it behaves. Tests start it with pace 0: replies at once.
    TesterOptions options = [] {
        TesterOptions o;
        o.pace = std::chrono::milliseconds(0);
        return o;
    }();
    std::array<int, kCylinders> petrolTenths{118, 121, 119,
                                             117, 120, 122}; // a healthy petrol engine
    std::array<int, kCylinders> dieselTenths{285, 290, 281, 288, 292, 286}; // and diesel
    // Samples held per curve channel: high pressure, turbo, FSI, TDI (options.samples
    // overrides them all).
    std::array<int, 4> sampleCounts{1000, 400, 300, 300};
    // Raw value of sample k (from 1) of a channel (0 to 3); the stored curves when unset.
    std::function<int(int channel, int k)> sampleValue;
    std::function<int(int address)> eepromValue = [](int a) { return (a * 7 + 3) % 256; };
    // Asked to pull the tester out (options.unplugAfter); whoever plugged it does it.
    std::function<void()> onPullOut;

    // Writes the options to the device: access rights, and a fresh count of replies.
    void applyOptions(const TesterOptions& o);

private:
    VirtualTester();
    void answer(std::span<const std::uint8_t> report);
    int compressionTenths(bool petrol, int cylinder) const;

    std::shared_ptr<VirtualHidDevice> device_;
    int repliesSent_ = 0;
    bool pullOutDue_ = false;
};

} // namespace kr90x
