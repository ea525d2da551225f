#pragma once

#include "link/HidPlatform.h"

#include <QEvent>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kr90x {

class THidDevice;
class THidDeviceController;

// The input reader of a checked-out device: keeps one read pending and hands each report
// to the main thread, waiting until the program's handler has returned, so reports stay
// in order and at most one is in the program's hands.
//
// The hand-off is a queued call plus a condition variable, not a blocking queued call:
// stop() sets the stop flag and wakes the reader wherever it waits, so the main thread
// can join it without running a nested event loop, even from inside the handler. A
// queued call that runs after the stop finds the flag set and calls nothing.
class THidDeviceReadThread {
public:
    THidDeviceReadThread(THidDevice& device, THidDeviceController& controller,
                         std::shared_ptr<HidHandle> handle, std::size_t reportLength);
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    // Ends the reader; no handler runs after this returns. Main thread only.
    void stop();

    // Runs the handler for a report or a read error a reader has posted to the
    // controller; false for events of other kinds. Main thread only.
    static bool handleEvent(QEvent* event);

    // What the reader and the main thread share; kept alive by the queued call too.
    struct Channel {
        std::mutex mutex;
        std::condition_variable wake;
        bool stop = false;
        bool handled = true;
        std::vector<std::uint8_t> Report;
        std::size_t NumBytesRead = 0;
    };

private:
    class ReaderEvent;
    class ReportEvent;
    class ReadErrorEvent;

    void run();
    void post(ReaderEvent* event);
    void pause(int ms);

    THidDevice& Device;
    THidDeviceController& controller_;
    std::shared_ptr<HidHandle> handle_;
    std::shared_ptr<Channel> channel_;
    int threadSleepTime_;
    int pollingDelayTime_;
    // Only the first failure of a check-out is told: a gone device fails at every turn.
    bool readErrorTold_ = false; // reader thread only
    std::thread thread_;
};

} // namespace kr90x
