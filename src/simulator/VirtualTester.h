#pragma once

#include "link/virtual/VirtualHidPlatform.h"

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
// with knobs for the faults a real one (or its cable) can show.
class VirtualTester : public std::enable_shared_from_this<VirtualTester> {
public:
    static constexpr int kVendorId = 0x04D8;
    static constexpr int kProductId = 0xF394;

    static std::shared_ptr<VirtualTester> create();

    const std::shared_ptr<VirtualHidDevice>& device() const { return device_; }

    // The reply to one command text, without the report framing; empty for no reply.
    QString replyTo(const QString& command) const;
    // The input report (report-ID byte first) that answers one output report, faults
    // included; nothing when the tester stays silent. Whoever carries it waits `delay`.
    std::optional<std::vector<std::uint8_t>>
    inputReportFor(std::span<const std::uint8_t> outputReport) const;
    // 64 data bytes after the report-ID byte, as the real tester sends.
    static constexpr std::size_t kInputReportLength = 65;

    // Data the tester holds.
    int firmwareVersion = 12;
    std::array<int, 6> petrolTenths{118, 121, 119, 117, 120, 122};
    std::array<int, 6> dieselTenths{285, 290, 281, 288, 292, 286};
    // Samples held per curve channel: high pressure, turbo, FSI, TDI.
    std::array<int, 4> sampleCounts{1000, 400, 300, 300};
    // Raw value of sample k (from 1) of a channel (0 to 3).
    std::function<int(int channel, int k)> sampleValue = defaultSample;
    std::function<int(int address)> eepromValue = [](int a) { return (a * 7 + 3) % 256; };

    // Faults.
    bool silent = false;                // answers nothing
    std::chrono::milliseconds delay{0}; // answers late
    bool nonNumericField = false;       // the first number of each reply holds letters
    bool shortReports = false;          // reports cut to their first 12 bytes
    bool wrongPrefix = false;           // replies start "KR90Y" instead of "KR90X"

    static int defaultSample(int channel, int k);

private:
    VirtualTester();
    void answer(std::span<const std::uint8_t> report);

    std::shared_ptr<VirtualHidDevice> device_;
};

} // namespace kr90x
