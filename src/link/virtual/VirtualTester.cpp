#include "link/virtual/VirtualTester.h"

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
    const QString code = command.left(10);
    QString reply;
    if (code == QLatin1String("KR90X_VERS")) {
        reply = code + QLatin1Char('|') +
                QString::number(firmwareVersion).rightJustified(3, QLatin1Char('0')).right(3);
    } else if (code == QLatin1String("KR90X_COMG") || code == QLatin1String("KR90X_COMD")) {
        const auto& values = code.endsWith(QLatin1Char('G')) ? petrolTenths : dieselTenths;
        reply = code;
        for (int v : values) {
            reply += QLatin1Char('|') + field(v, 4);
        }
    } else {
        static const char* const counts[] = {"KR90X_GAMX", "KR90X_GTMX", "KR90X_GFMX",
                                             "KR90X_GDMX"};
        static const char* const samples[] = {"KR90X_GAVA", "KR90X_GTVA", "KR90X_GFVA",
                                              "KR90X_GDVA"};
        for (int channel = 0; channel < 4; ++channel) {
            if (code == QLatin1String(counts[channel])) {
                reply = code + QLatin1Char('|') +
                        field(sampleCounts[static_cast<std::size_t>(channel)], 5) +
                        QLatin1Char('|');
            } else if (code == QLatin1String(samples[channel])) {
                const int k = numberField(command);
                reply = code + QLatin1Char('|') + field(k, 5) + QLatin1Char('|') +
                        field(sampleValue(channel, k), 4) + QLatin1Char('|');
            }
        }
        if (code == QLatin1String("KR90X_EEPR")) {
            const int address = numberField(command);
            reply = code + QLatin1Char('|') + field(address, 5) + QLatin1Char('|') +
                    field(eepromValue(address), 4) + QLatin1Char('|');
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

void VirtualTester::answer(std::span<const std::uint8_t> report) {
    if (silent || report.size() < 2) {
        return;
    }
    QString command;
    for (std::size_t i = 1; i < report.size() && i <= 17; ++i) {
        command += QLatin1Char(static_cast<char>(report[i]));
    }
    const QString reply = replyTo(command);
    if (reply.isEmpty()) {
        return;
    }
    std::vector<std::uint8_t> input(device_->caps.InputReportByteLength, 0);
    for (qsizetype i = 0; i < reply.size() && static_cast<std::size_t>(i) + 1 < input.size(); ++i) {
        input[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(reply.at(i).toLatin1());
    }
    if (shortReports) {
        input.resize(std::min<std::size_t>(input.size(), 12));
    }
    device_->sendInput(std::move(input), delay);
}

} // namespace kr90x
