#include "simulator/PtyTester.h"

#include "simulator/VirtualTester.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

namespace kr90x::sim {
namespace {

// What the program writes per report: its output report length, the report-ID byte
// included, which umockdev's pseudo-terminal keeps (real hidraw drops a 0 ID).
constexpr std::size_t kOutputReportLength = 65;

} // namespace

PtyTester::PtyTester(int master, std::shared_ptr<VirtualTester> logic, QObject* parent)
    : QObject(parent), master_(master), logic_(std::move(logic)),
      notifier_(std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read)) {
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readable(); });
}

PtyTester::~PtyTester() = default;

void PtyTester::stop() {
    notifier_->setEnabled(false);
    pending_.clear();
}

void PtyTester::readable() {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            stop(); // the node is gone
        }
        return;
    }
    pending_.insert(pending_.end(), buffer, buffer + n);
    // A pseudo-terminal keeps no report boundaries: every report is the same length.
    std::size_t at = 0;
    for (; pending_.size() - at >= kOutputReportLength; at += kOutputReportLength) {
        const std::span<const std::uint8_t> report(pending_.data() + at, kOutputReportLength);
        QString command;
        for (std::size_t i = 1; i < report.size() && report[i] != 0 && i <= 17; ++i) {
            command += QLatin1Char(static_cast<char>(report[i]));
        }
        commands_ << command;
        emit commandReceived(command);
        if (logic_->pullOutNow()) {
            emit pullOutRequested();
            continue;
        }
        if (std::optional<std::vector<std::uint8_t>> input = logic_->inputReportFor(report)) {
            if (logic_->replyWait().count() > 0) {
                QTimer::singleShot(
                    logic_->replyWait(), this,
                    [this, in = std::move(*input)]() mutable { send(std::move(in)); });
            } else {
                send(std::move(*input));
            }
            logic_->countReply();
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

void PtyTester::send(std::vector<std::uint8_t> input) {
    if (!notifier_->isEnabled() || input.size() < 2) {
        return;
    }
    // The node delivers data bytes only: the report-ID byte stays here.
    const std::uint8_t* data = input.data() + 1;
    std::size_t left = input.size() - 1;
    while (left > 0) {
        const ssize_t n = ::write(master_, data, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace kr90x::sim
