#include "link/THidDeviceReadThread.h"

#include "link/THidDevice.h"
#include "link/THidDeviceController.h"

#include <QMetaObject>

#include <algorithm>

namespace kr90x {

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device, THidDeviceController& controller,
                                           std::shared_ptr<HidHandle> handle,
                                           std::size_t reportLength)
    : Device(device), controller_(controller), handle_(std::move(handle)),
      channel_(std::make_shared<Channel>()), threadSleepTime_(device.ThreadSleepTime()),
      pollingDelayTime_(device.PollingDelayTime()) {
    channel_->Report.resize(reportLength);
    thread_ = std::thread([this] { run(); });
}

THidDeviceReadThread::~THidDeviceReadThread() {
    stop();
}

void THidDeviceReadThread::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(channel_->mutex);
        channel_->stop = true;
    }
    channel_->wake.notify_all();
    handle_->close();
    thread_.join();
}

void THidDeviceReadThread::pause(int ms) {
    std::unique_lock lock(channel_->mutex);
    channel_->wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return channel_->stop; });
}

void THidDeviceReadThread::run() {
    Channel& ch = *channel_;
    const std::chrono::milliseconds sleep(threadSleepTime_);
    for (;;) {
        {
            std::lock_guard lock(ch.mutex);
            if (ch.stop) {
                return;
            }
        }
        if (ch.Report.empty()) { // a device without input reports: nothing to read
            pause(threadSleepTime_);
            continue;
        }
        std::fill(ch.Report.begin(), ch.Report.end(), 0);
        const HidReadResult r = handle_->read(ch.Report, sleep);
        if (r.status == HidReadStatus::Timeout) {
            continue;
        }
        if (r.status == HidReadStatus::Failed) {
            // Gone or closed: keep trying at the sleep period until told to stop.
            FErr = r.error;
            pause(threadSleepTime_);
            continue;
        }
        if (r.bytes > 0) {
            {
                std::lock_guard lock(ch.mutex);
                ch.NumBytesRead = r.bytes;
                ch.handled = false;
            }
            deliver();
            std::unique_lock lock(ch.mutex);
            ch.wake.wait(lock, [&] { return ch.handled || ch.stop; });
            if (ch.stop) {
                return;
            }
        }
        if (pollingDelayTime_ > 0) {
            pause(pollingDelayTime_);
        }
    }
}

void THidDeviceReadThread::deliver() {
    // Runs later on the main thread; the device is alive as long as its reader has not
    // been stopped, and the main thread is the only one that stops it.
    QMetaObject::invokeMethod(
        &controller_,
        [channel = channel_, device = &Device, controller = &controller_] {
            {
                std::lock_guard lock(channel->mutex);
                if (channel->stop) {
                    return;
                }
            }
            const std::size_t n = channel->NumBytesRead;
            controller->deliverReport(*device, channel->Report[0], channel->Report.data() + 1,
                                      static_cast<std::uint16_t>(std::min<std::size_t>(
                                          n - 1, channel->Report.size() - 1)));
            {
                std::lock_guard lock(channel->mutex);
                channel->handled = true;
            }
            channel->wake.notify_all();
        },
        Qt::QueuedConnection);
}

} // namespace kr90x
