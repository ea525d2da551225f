#include "InterruptSignal.h"

#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kr90x::cli {
namespace {

// A signal handler may do next to nothing: it writes a byte where the event loop listens.
// The descriptor is all it can reach, so it lives here.
std::atomic<int> handlerFd{-1};

void interruptHandler(int) {
    const int fd = handlerFd.load();
    if (fd >= 0) {
        const unsigned char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

} // namespace

InterruptSignal::InterruptSignal(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // Ctrl+C keeps its default action: the program still ends
    }
    handlerFd.store(fds_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { drain(); });
    struct sigaction action {};
    action.sa_handler = interruptHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
}

InterruptSignal::~InterruptSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    handlerFd.store(-1);
    notifier_.reset();
    for (int fd : fds_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void InterruptSignal::drain() {
    unsigned char byte = 0;
    bool any = false;
    while (::read(fds_[0], &byte, 1) == 1) {
        any = true;
    }
    if (any) {
        raised_ = true;
        onInterrupt_();
    }
}

} // namespace kr90x::cli
