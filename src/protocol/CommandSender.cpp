#include "protocol/CommandSender.h"

#include "core/AppState.h"
#include "link/THidDevice.h"

#include <QTimer>

#include <span>

namespace kr90x {

void CommandSender::SendCommand(const QString& command, QTimer* replyTimer) {
    state_.CurrentCommand = command;
    std::vector<std::uint8_t>& report = state_.OutputReport;
    if (report.size() < static_cast<std::size_t>(command.size()) + 1) {
        report.resize(static_cast<std::size_t>(command.size()) + 1, 0);
    }
    for (qsizetype i = 0; i < command.size(); ++i) {
        report[static_cast<std::size_t>(i) + 1] =
            static_cast<std::uint8_t>(command.at(i).unicode());
    }
    // A running timer keeps its countdown.
    if (replyTimer && !replyTimer->isActive()) {
        replyTimer->start();
    }
    THidDevice* tester = state_.TesterDevice;
    if (!tester || !tester->IsPluggedIn()) {
        return;
    }
    state_.OutputReportLength = tester->Caps().OutputReportByteLength;
    // A tester with longer output reports than the buffer gets the buffer grown (zeros),
    // never a write from beyond it.
    const auto length = static_cast<std::size_t>(state_.OutputReportLength);
    if (report.size() < length) {
        report.resize(length, 0);
    }
    std::size_t written = 0;
    tester->WriteFile(std::span(report.data(), length), written);
}

} // namespace kr90x
