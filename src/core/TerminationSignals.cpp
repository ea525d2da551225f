#include "core/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kr90x {
namespace {

// A signal handler may do next to nothing: it notes the signal where work without an
// event loop looks, and writes its number where the event loop listens. The descriptor is
// all it can reach, so it lives here.
std::atomic<int> handlerFd{-1};
std::atomic<int> caughtSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

constexpr int kSignals[] = {SIGTERM, SIGINT};

void onSignal(int signal) {
    const int savedErrno = errno; // the code the signal cut into may be about to read it
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signal); // the first one says how it ended
    const int fd = handlerFd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

} // namespace

int TerminationSignals::caught() {
    return caughtSignal.load();
}

TerminationSignals::TerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // the signals keep their default action: the program still ends
    }
    handlerFd.store(fds_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) {
        ::sigaction(s, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
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

void TerminationSignals::readSignal() {
    unsigned char number = 0;
    while (::read(fds_[0], &number, 1) == 1) {
        emit requested(number);
    }
}

} // namespace kr90x
