#include "simulator/VirtualTester.h"

#include "core/Cylinders.h"
#include "protocol/TesterCodes.h"
#include "simulator/StoredCurves.h"

#include <utility>

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

void VirtualTester::applyOptions(const TesterOptions& o) {
    options = o;
    device_->denyAccess = o.noAccess;
    repliesSent_ = 0;
    pullOutDue_ = false;
}

void VirtualTester::countReply() {
    ++repliesSent_;
    if (options.unplugAfter && repliesSent_ >= *options.unplugAfter) {
        // Once: plugged in again, it stays.
        options.unplugAfter.reset();
        pullOutDue_ = true;
    }
}

bool VirtualTester::pullOutNow() {
    return std::exchange(pullOutDue_, false);
}

int VirtualTester::compressionTenths(bool petrol, int cylinder) const {
    const int tenths = (petrol ? petrolTenths : dieselTenths)[static_cast<std::size_t>(cylinder)];
    // A burnt valve or a broken ring: about 70 % of its neighbours.
    return options.weakCylinder == cylinder + 1 ? tenths * 7 / 10 : tenths;
}

QString VirtualTester::replyTo(const QString& command) const {
    const QString head = command.left(10);
    const auto is = [&](ReplyKind kind) { return head == QLatin1String(code(kind)); };
    QString reply;
    if (is(ReplyKind::Version)) {
        reply = head + QLatin1Char('|') +
                QString::number(options.firmware).rightJustified(3, QLatin1Char('0')).right(3);
    } else if (is(ReplyKind::CompressionPetrol) || is(ReplyKind::CompressionDiesel)) {
        reply = head;
        for (int c = 0; c < static_cast<int>(kCylinders); ++c) {
            reply +=
                QLatin1Char('|') + field(compressionTenths(is(ReplyKind::CompressionPetrol), c), 4);
        }
    } else if (is(ReplyKind::Eeprom)) {
        const int address = numberField(command);
        reply = head + QLatin1Char('|') + field(address, 5) + QLatin1Char('|') +
                field(eepromValue(address), 4) + QLatin1Char('|');
    }
    for (const CurveCodes& c : kCurveChannels) {
        const auto channel = static_cast<int>(curveIndex(c.channel));
        if (is(c.count)) {
            const int count =
                options.samples.value_or(sampleCounts[static_cast<std::size_t>(channel)]);
            reply = head + QLatin1Char('|') + field(count, 5) + QLatin1Char('|');
        } else if (is(c.sample)) {
            const int k = numberField(command);
            const int value =
                sampleValue ? sampleValue(channel, k) : storedSample(options.stored, c.channel, k);
            reply = head + QLatin1Char('|') + field(k, 5) + QLatin1Char('|') + field(value, 4) +
                    QLatin1Char('|');
        }
    }
    if (reply.isEmpty()) {
        return reply;
    }
    if (options.garbage) {
        reply.replace(11, 2, QStringLiteral("ab"));
    }
    if (options.wrongPrefix) {
        reply.replace(0, 5, QStringLiteral("KR90Y"));
    }
    return reply;
}

std::optional<std::vector<std::uint8_t>>
VirtualTester::inputReportFor(std::span<const std::uint8_t> outputReport) const {
    if (options.silent || outputReport.size() < 2) {
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
    if (options.shortReports) {
        input.resize(12);
    }
    return input;
}

void VirtualTester::answer(std::span<const std::uint8_t> report) {
    if (pullOutNow()) {
        if (onPullOut) {
            onPullOut();
        }
        return;
    }
    if (std::optional<std::vector<std::uint8_t>> input = inputReportFor(report)) {
        device_->sendInput(std::move(*input), replyWait());
        countReply();
    }
}

} // namespace kr90x
