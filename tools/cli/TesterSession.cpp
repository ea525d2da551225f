// Finding the tester, choosing one and greeting it; the reads are in TesterReads.cpp.
#include "TesterSession.h"

#include "link/THidDeviceController.h"
#include "link/TesterIdentity.h"
#include "link/linux/LinuxHidPlatform.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "measure/EepromDump.h"
#include "protocol/Commands.h"
#include "protocol/VersionReply.h"
#include "simulator/VirtualTester.h"

#include <QFile>
#include <QFileInfo>

namespace kr90x::cli {
namespace {

// The USB serial number of the tester behind a hidraw node: the hidraw's device is the
// HID device, its parent the USB interface, and that one's parent the USB device.
QString serialOf(const QString& node) {
    if (!node.startsWith(QLatin1String("/dev/hidraw"))) {
        return {};
    }
    QFile file(
        QStringLiteral("/sys/class/hidraw/%1/device/../../serial").arg(QFileInfo(node).fileName()));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Whatever the device put there: at most 128 bytes of it, printable characters only.
    QString serial = QString::fromLatin1(file.read(128)).trimmed();
    serial.removeIf([](QChar c) { return !c.isPrint(); });
    return serial;
}

QString nodes(const std::vector<THidDevice*>& testers) {
    QStringList list;
    for (const THidDevice* t : testers) {
        list << t->PnPInfo().DevicePath;
    }
    return list.join(QStringLiteral(", "));
}

} // namespace

TesterSession::TesterSession(Settings settings) : settings_(std::move(settings)) {
    replyTimer_.setInterval(settings_.timeoutMs);
    versionTimer_.setInterval(settings_.timeoutMs);
    QObject::connect(&replyTimer_, &QTimer::timeout, &loop_, [this] { replyTimedOut(); });
    QObject::connect(&versionTimer_, &QTimer::timeout, &loop_, [this] {
        versionTimer_.stop();
        // As the window takes it: a tester that does not say its version runs version 11.
        state_.DeviceFirmwareVersion = 11;
        versionUnanswered_ = true;
        finish(interrupted_ ? std::optional(interruption()) : std::nullopt);
    });
    if (settings_.virtualTester) {
        auto platform = std::make_unique<VirtualHidPlatform>();
        virtualTester_ = VirtualTester::create();
        virtualTester_->applyOptions(*settings_.virtualTester);
        // Asked from inside a write: pulled out once that write is over.
        virtualTester_->onPullOut = [this, p = platform.get()] {
            QTimer::singleShot(0, &loop_, [this, p] { p->unplug(virtualTester_->device()); });
        };
        platform->plug(virtualTester_->device());
        platform_ = std::move(platform);
    } else {
        platform_ = std::make_unique<LinuxHidPlatform>();
    }
    versionReply_ = std::make_unique<VersionReply>(state_, log_, versionTimer_, [] {});
    curve_ = std::make_unique<CurveDownload>(log_, sender_, *this);
    eeprom_ = std::make_unique<EepromDump>(state_, dumpLog_, sender_, replyTimer_);
    setHandlers();
}

TesterSession::~TesterSession() {
    // The readers stop before what they deliver to goes.
    controller_.reset();
}

CliResult<Done> TesterSession::run(Phase phase) {
    phase_ = phase;
    if (!finished_) {
        loop_.exec();
    }
    phase_ = Phase::Idle;
    finished_ = false;
    if (std::optional<CliError> e = std::exchange(error_, std::nullopt)) {
        return fail(std::move(*e));
    }
    return Done{};
}

void TesterSession::finish(std::optional<CliError> error) {
    if (finished_ || phase_ == Phase::Idle) {
        return;
    }
    finished_ = true;
    error_ = std::move(error);
    replyTimer_.stop();
    versionTimer_.stop();
    loop_.quit();
}

std::vector<THidDevice*> TesterSession::testersPresent() const {
    std::vector<THidDevice*> testers;
    for (const std::unique_ptr<THidDevice>& d : controller_->devices()) {
        if (d->IsPluggedIn() && d->Attributes().VendorID == kTesterVendorId &&
            d->Attributes().ProductID == kTesterProductId) {
            testers.push_back(d.get());
        }
    }
    return testers;
}

void TesterSession::deviceChanged() {
    if (phase_ == Phase::Finding) {
        found_ = testersPresent();
        finish();
        return;
    }
    THidDevice* tester = state_.TesterDevice;
    if (tester && !tester->IsPluggedIn()) {
        finish(
            CliError{Exit::NoTester, QStringLiteral("the tester was unplugged") + pendingText()});
    }
}

// The tester that was asked for, checked out: the HID layer hands out the first free one,
// so those before it are taken and given back.
THidDevice* TesterSession::take(THidDevice* wanted) {
    std::vector<THidDevice*> before;
    THidDevice* taken = nullptr;
    for (THidDevice* d = nullptr; controller_->CheckOutByID(d, kTesterVendorId, kTesterProductId);
         d = nullptr) {
        if (d == wanted) {
            taken = d;
            break;
        }
        before.push_back(d);
    }
    for (THidDevice* d : before) {
        controller_->CheckIn(d);
    }
    return taken;
}

CliResult<Done> TesterSession::choose() {
    if (!controller_) {
        controller_ = std::make_unique<THidDeviceController>(*platform_, dialogs_);
        controller_->OnDeviceChange = [this](THidDeviceController&) { deviceChanged(); };
        controller_->OnDeviceData = [this](THidDevice&, std::uint8_t, const std::uint8_t* data,
                                           std::uint16_t size) { dataArrived(data, size); };
        // A read that fails means a tester unplugged or in trouble: the device change, or
        // the reply time-out, says so.
        controller_->OnDeviceReadError = [](THidDevice&, int) {};
    }
    return run(Phase::Finding);
}

void TesterSession::greet(THidDevice* tester) {
    state_.TesterDevice = tester;
    state_.DeviceFirmwareVersion = 9999; // until it says, as in the window
    versionUnanswered_ = false;
    tester->Caps();
    sender_.SendCommand(QString::fromLatin1(kVersionCommand), &versionTimer_);
}

CliResult<TesterInfo> TesterSession::connect() {
    if (CliResult<Done> r = choose(); !r) {
        return fail(r.error());
    }
    THidDevice* chosen = nullptr;
    if (!settings_.device.isEmpty()) {
        for (THidDevice* t : found_) {
            if (t->PnPInfo().DevicePath == settings_.device) {
                chosen = t;
            }
        }
        // A link to the node (a udev rule's /dev/kr90x, say) names it too. Only then is
        // the path resolved: umockdev 0.17's realpath() overruns its buffer.
        const QString wanted = chosen ? QString() : QFileInfo(settings_.device).canonicalFilePath();
        for (THidDevice* t : found_) {
            if (!chosen && !wanted.isEmpty() &&
                QFileInfo(t->PnPInfo().DevicePath).canonicalFilePath() == wanted) {
                chosen = t;
            }
        }
        if (!chosen) {
            return cliFail(Exit::NoTester,
                           QStringLiteral("no KR90X tester at %1").arg(settings_.device) +
                               (found_.empty()
                                    ? QString()
                                    : QStringLiteral(" (testers at %1)").arg(nodes(found_))));
        }
    } else if (found_.empty()) {
        return cliFail(Exit::NoTester,
                       QStringLiteral("no KR90X tester found: plug it in and switch it on"));
    } else if (found_.size() > 1) {
        return cliFail(Exit::Usage,
                       QStringLiteral("%1 testers found (%2): choose one with --device")
                           .arg(found_.size())
                           .arg(nodes(found_)));
    } else {
        chosen = found_.front();
    }
    const QString node = chosen->PnPInfo().DevicePath;
    THidDevice* tester = take(chosen);
    if (!tester) {
        return cliFail(Exit::NoTester, QStringLiteral("the tester at %1 is gone").arg(node));
    }
    if (!tester->HasReadWriteAccess()) {
        return cliFail(Exit::NoTester,
                       QStringLiteral("the KR90X tester at %1 is connected, but this user may not "
                                      "open it: install the package's udev rule "
                                      "(sudo apt install orvo-kr90x) and plug the tester in again")
                           .arg(node));
    }
    greet(tester);
    if (CliResult<Done> r = run(Phase::Version); !r) {
        return fail(r.error());
    }
    return TesterInfo{node, serialOf(node), state_.DeviceFirmwareVersion, true};
}

CliResult<std::vector<TesterInfo>> TesterSession::survey() {
    if (CliResult<Done> r = choose(); !r) {
        return fail(r.error());
    }
    std::vector<TesterInfo> testers;
    for (THidDevice* found : found_) {
        TesterInfo info{found->PnPInfo().DevicePath,
                        serialOf(found->PnPInfo().DevicePath),
                        {},
                        found->HasReadWriteAccess()};
        THidDevice* tester = info.access ? take(found) : nullptr;
        if (tester) {
            greet(tester);
            if (CliResult<Done> r = run(Phase::Version); !r) {
                return fail(r.error());
            }
            // What the tester said; the 11 the window assumes of a silent one is no finding.
            if (!versionUnanswered_) {
                info.firmware = state_.DeviceFirmwareVersion;
            }
            state_.TesterDevice = nullptr;
            controller_->CheckIn(tester);
        }
        testers.push_back(info);
    }
    return testers;
}

void TesterSession::interrupt() {
    if (std::exchange(interrupted_, true) || phase_ == Phase::Idle) {
        return;
    }
    interruptText_ = QStringLiteral("interrupted") + pendingText();
    curve_->abandon();
    // The reply to what was asked last still comes: it is waited for, so that the tester
    // is idle when the program has gone.
    if (!replyTimer_.isActive() && !versionTimer_.isActive()) {
        finish(interruption());
    }
}

} // namespace kr90x::cli
