#include "link/THidDeviceReadThread.h"

#include "link/THidDevice.h"
#include "link/THidDeviceController.h"

#include <QCoreApplication>

#include <algorithm>

// Qt's event queue is not built with ThreadSanitizer, so it cannot see that posting an
// event orders the reader's writes to it before the main thread's reads; say so.
#if defined(__SANITIZE_THREAD__)
#define KR90X_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KR90X_TSAN 1
#endif
#endif
#ifdef KR90X_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace kr90x {

// What a reader hands to the main thread. Posted events belong to the event queue, so
// the reader never shares anything with the main thread but the channel.
class THidDeviceReadThread::ReaderEvent : public QEvent {
public:
    static QEvent::Type type() {
        static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
        return t;
    }
    ReaderEvent(std::shared_ptr<Channel> channel, THidDevice& device,
                THidDeviceController& controller)
        : QEvent(type()), channel_(std::move(channel)), device_(device), controller_(controller) {}

    void handle() {
        {
            // A reader stopped meanwhile: its device may be gone, so touch nothing.
            std::lock_guard lock(channel_->mutex);
            if (channel_->stop) {
                return;
            }
        }
        // The channel outlives this call even if the handler stops the reader.
        const std::shared_ptr<Channel> keep = channel_;
        deliver(*keep);
    }

protected:
    virtual void deliver(Channel& ch) = 0;

    std::shared_ptr<Channel> channel_;
    THidDevice& device_;
    THidDeviceController& controller_;
};

// A report: the reader waits until the handler has returned.
class THidDeviceReadThread::ReportEvent : public ReaderEvent {
public:
    using ReaderEvent::ReaderEvent;

private:
    void deliver(Channel& ch) override {
        const std::size_t n = std::min(ch.NumBytesRead, ch.Report.size());
        controller_.deliverReport(device_, ch.Report[0], ch.Report.data() + 1,
                                  static_cast<std::uint16_t>(n - 1));
        {
            std::lock_guard lock(ch.mutex);
            ch.handled = true;
        }
        ch.wake.notify_all();
    }
};

// The first failed read of a check-out; the reader goes on without waiting.
class THidDeviceReadThread::ReadErrorEvent : public ReaderEvent {
public:
    ReadErrorEvent(std::shared_ptr<Channel> channel, THidDevice& device,
                   THidDeviceController& controller, int error)
        : ReaderEvent(std::move(channel), device, controller), error_(error) {}

private:
    void deliver(Channel&) override { controller_.deliverReadError(device_, error_); }

    int error_;
};

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
            // Gone or closed: keep trying at the sleep period until told to stop. A handle
            // we closed ourselves (error 0) is no failure worth telling.
            if (r.error != 0 && !readErrorTold_) {
                readErrorTold_ = true;
                post(new ReadErrorEvent(channel_, Device, controller_, r.error));
            }
            pause(threadSleepTime_);
            continue;
        }
        if (r.bytes > 0) {
            {
                std::lock_guard lock(ch.mutex);
                ch.NumBytesRead = r.bytes;
                ch.handled = false;
            }
            post(new ReportEvent(channel_, Device, controller_));
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

void THidDeviceReadThread::post(ReaderEvent* event) {
#ifdef KR90X_TSAN
    __tsan_release(event);
#endif
    QCoreApplication::postEvent(&controller_, event); // the queue takes it
}

bool THidDeviceReadThread::handleEvent(QEvent* event) {
#ifdef KR90X_TSAN
    __tsan_acquire(event);
#endif
    if (event->type() != ReaderEvent::type()) {
        return false;
    }
    static_cast<ReaderEvent*>(event)->handle();
    return true;
}

} // namespace kr90x
