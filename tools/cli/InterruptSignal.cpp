#include "InterruptSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kr90x::cli {
namespace {

// A signal handler may do next to nothing: it notes the signal where a loop without events
// looks, and writes its number where the event loop listens. The descriptor is all it can
// reach, so it lives here.
std::atomic<int> handlerFd{-1};
std::atomic<int> caughtSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

constexpr int kSignals[] = {SIGINT, SIGTERM};

void interruptHandler(int signal) {
    const int savedErrno = errno; // the code the signal cut into may be about to read it
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signal); // the first one says how it ended
    const int fd = handlerFd.load();
    if (fd >= 0) {
        const auto number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

} // namespace

int InterruptSignal::caught() {
    return caughtSignal.load();
}

CliResult<Done> checkInterrupt() {
    const int signal = InterruptSignal::caught();
    if (signal == 0) {
        return Done{};
    }
    return cliFail(static_cast<Exit>(128 + signal), signal == SIGTERM
                                                        ? QStringLiteral("terminated")
                                                        : QStringLiteral("interrupted"));
}

InterruptSignal::InterruptSignal(std::function<void(int signal)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // the signals keep their default actions: the program still ends
    }
    handlerFd.store(fds_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { drain(); });
    struct sigaction action {};
    action.sa_handler = interruptHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) {
        ::sigaction(s, &action, nullptr);
    }
}

InterruptSignal::~InterruptSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) {
        ::sigaction(s, &action, nullptr);
    }
    handlerFd.store(-1);
    notifier_.reset();
    for (int fd : fds_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void InterruptSignal::drain() {
    unsigned char number = 0;
    while (::read(fds_[0], &number, 1) == 1) {
        onInterrupt_(number);
    }
}

} // namespace kr90x::cli
