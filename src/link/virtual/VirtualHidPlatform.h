#pragma once

#include "link/HidPlatform.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kr90x {

// A HID device that lives in the process: tests and the virtual tester plug it in, take
// it out, script its answers and look at what was written to it.
class VirtualHidDevice {
public:
    THidAttributes attributes;
    QString product;
    THidCaps caps{65, 65, 0};
    bool denyAccess = false; // found, but may only be opened without access rights
    int failOpens = 0;       // this many more opens with access rights fail (a busy node)
    bool failWrites = false;
    bool unidentifiable = false; // its attributes cannot be read
    // Makes every read fail with this error code while it is not 0 (a device in trouble
    // that is still plugged in); thread-safe.
    void failReads(int error);
    // Reads that failed so far.
    int failedReads() const;
    // Runs on the thread that writes (the main thread) with each output report.
    std::function<void(std::span<const std::uint8_t> report)> onOutput;

    // Queues an input report (report-ID byte first) for the readers; thread-safe.
    void sendInput(std::vector<std::uint8_t> report,
                   std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Makes every read return this report at once, as a device sending as fast as it
    // can; an empty report ends the flood.
    void flood(std::vector<std::uint8_t> report);
    // The last output reports written (at most kWrittenKept, oldest first), report-ID byte
    // first: enough for a test to look at, bounded for a demo that runs all day.
    std::vector<std::vector<std::uint8_t>> written() const;
    static constexpr std::size_t kWrittenKept = 4096;
    std::size_t pendingInput() const;
    bool pluggedIn() const;

private:
    friend class VirtualHidPlatform;
    friend class VirtualHidHandle;
    using Clock = std::chrono::steady_clock;
    struct Input {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Input> input_;
    std::vector<std::uint8_t> flood_;
    std::deque<std::vector<std::uint8_t>> written_;
    bool plugged_ = false;
    int readError_ = 0;
    int failedReads_ = 0;
};

class VirtualHidPlatform : public HidPlatform {
public:
    std::vector<THidPnPInfo> enumerate() override;
    std::unique_ptr<HidHandle> open(const QString& path, HidAccess access) override;
    void watch(std::function<void()> notify) override;

    // Each plug gives the device a new identity, as a real re-plug does, and raises a
    // device-change notice from the event loop.
    void plug(std::shared_ptr<VirtualHidDevice> device);
    void unplug(const std::shared_ptr<VirtualHidDevice>& device);
    // A device change that involves no HID interface (a USB stick, say).
    void raiseNotice();

private:
    struct Entry {
        THidPnPInfo info;
        std::shared_ptr<VirtualHidDevice> device;
    };
    std::vector<Entry> present_;
    std::function<void()> notify_;
    // Notices still queued when the platform goes are dropped with it.
    QObject noticeContext_;
    int nextInstance_ = 1;
};

} // namespace kr90x
