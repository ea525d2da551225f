#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kr90x {
namespace {

// A signal handler may do next to nothing: it writes the signal's number where the event
// loop is listening. The descriptor is all it can reach, so it lives here.
std::atomic<int> handlerFd{-1};

constexpr int kSignals[] = {SIGTERM, SIGINT};

void onSignal(int signal) {
    const int fd = handlerFd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(fd, &number, 1);
    }
}

} // namespace

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
