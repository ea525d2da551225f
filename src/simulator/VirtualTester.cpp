#include "simulator/VirtualTester.h"

#include "protocol/TesterCodes.h"

#include <cmath>

namespace kr90x {
namespace {

QString field(int value, int width) {
    return QString::number(value).rightJustified(width, QLatin1Char(' ')).right(width);
}

int numberField(const QString& command) {
    return command.mid(11, 5).trimmed().toInt();
}

} // namespace

std::shared_ptr<VirtualTester> VirtualTester::create() {
    std::shared_ptr<VirtualTester> tester(new VirtualTester());
    std::weak_ptr<VirtualTester> weak = tester;
    tester->device_->onOutput = [weak](std::span<const std::uint8_t> report) {
        if (auto t = weak.lock()) {
            t->answer(report);
        }
    };
    return tester;
}

VirtualTester::VirtualTester() : device_(std::make_shared<VirtualHidDevice>()) {
    device_->attributes = {kVendorId, kProductId, 0x0104};
    device_->product = QStringLiteral("Rirazereruver ovuvuv");
    device_->caps = {65, 65, 0};
}

int VirtualTester::defaultSample(int channel, int k) {
    const double t = k;
    switch (channel) {
    case 0: // rail pressure in bar, rising to about 1,350 with ripple
        return static_cast<int>(1350.0 * (1.0 - std::exp(-t / 120.0)) + 30.0 * std::sin(t / 9.0));
    case 1: // boost in mbar
        return static_cast<int>(200.0 + 1500.0 * std::sin(t / 400.0 * 3.14159));
    case 2: // tenths of a bar
        return static_cast<int>(900.0 + 250.0 * std::sin(t / 25.0));
    default:
        return static_cast<int>(600.0 + 150.0 * std::sin(t / 30.0));
    }
}

QString VirtualTester::replyTo(const QString& command) const {
    const QString head = command.left(10);
    const auto is = [&](ReplyKind kind) { return head == QLatin1String(code(kind)); };
    QString reply;
    if (is(ReplyKind::Version)) {
        reply = head + QLatin1Char('|') +
                QString::number(firmwareVersion).rightJustified(3, QLatin1Char('0')).right(3);
    } else if (is(ReplyKind::CompressionPetrol) || is(ReplyKind::CompressionDiesel)) {
        const auto& values = is(ReplyKind::CompressionPetrol) ? petrolTenths : dieselTenths;
        reply = head;
        for (int v : values) {
            reply += QLatin1Char('|') + field(v, 4);
        }
    } else if (is(ReplyKind::Eeprom)) {
        const int address = numberField(command);
        reply = head + QLatin1Char('|') + field(address, 5) + QLatin1Char('|') +
                field(eepromValue(address), 4) + QLatin1Char('|');
    }
    for (const CurveCodes& c : kCurveChannels) {
        const auto channel = static_cast<int>(curveIndex(c.channel));
        if (is(c.count)) {
            reply = head + QLatin1Char('|') +
                    field(sampleCounts[static_cast<std::size_t>(channel)], 5) + QLatin1Char('|');
        } else if (is(c.sample)) {
            const int k = numberField(command);
            reply = head + QLatin1Char('|') + field(k, 5) + QLatin1Char('|') +
                    field(sampleValue(channel, k), 4) + QLatin1Char('|');
        }
    }
    if (reply.isEmpty()) {
        return reply;
    }
    if (nonNumericField) {
        reply.replace(11, 2, QStringLiteral("ab"));
    }
    if (wrongPrefix) {
        reply.replace(0, 5, QStringLiteral("KR90Y"));
    }
    return reply;
}

std::optional<std::vector<std::uint8_t>>
VirtualTester::inputReportFor(std::span<const std::uint8_t> outputReport) const {
    if (silent || outputReport.size() < 2) {
        return std::nullopt;
    }
    QString command;
    for (std::size_t i = 1; i < outputReport.size() && i <= 17; ++i) {
        command += QLatin1Char(static_cast<char>(outputReport[i]));
    }
    const QString reply = replyTo(command);
    if (reply.isEmpty()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> input(kInputReportLength, 0);
    for (qsizetype i = 0; i < reply.size() && static_cast<std::size_t>(i) + 1 < input.size(); ++i) {
        input[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(reply.at(i).toLatin1());
    }
    if (shortReports) {
        input.resize(12);
    }
    return input;
}

void VirtualTester::answer(std::span<const std::uint8_t> report) {
    if (std::optional<std::vector<std::uint8_t>> input = inputReportFor(report)) {
        device_->sendInput(std::move(*input), delay);
    }
}

} // namespace kr90x
