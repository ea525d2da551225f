// What a read asks of the tester and what its replies come to: the window's commands,
// reply handlers, firmware gate and time-out, with the result handed back whole.
#include "TesterSession.h"

#include "link/THidDevice.h"
#include "measure/EepromDump.h"
#include "protocol/Commands.h"
#include "protocol/Reply.h"
#include "protocol/VersionReply.h"

namespace kr90x::cli {
namespace {

// A reply as it may be shown on one line: its printable characters, without the padding.
QString shown(const QString& reply) {
    QString text = reply.left(64);
    text.removeIf([](QChar c) { return !c.isPrint(); });
    return text.trimmed();
}

} // namespace

void TesterSession::setHandlers() {
    dispatcher_.setHandler(ReplyKind::Version,
                           [this](const QString& r) { versionReply_->handle(r); });
    dispatcher_.setHandler(ReplyKind::CompressionPetrol,
                           [this](const QString& r) { compressionReply(r, Fuel::Petrol); });
    dispatcher_.setHandler(ReplyKind::CompressionDiesel,
                           [this](const QString& r) { compressionReply(r, Fuel::Diesel); });
    dispatcher_.setHandler(ReplyKind::Eeprom, [this](const QString& r) {
        if (phase_ == Phase::Eeprom) {
            ++eepromReplies_;
            if (progress_) {
                progress_(eepromReplies_, EepromDump::kLastAddress + 1);
            }
            eeprom_->handleReply(r);
        }
    });
    for (const CurveCodes& c : kCurveChannels) {
        dispatcher_.setHandler(
            c.count, [this, channel = c.channel](const QString& r) { countReply(channel, r); });
        dispatcher_.setHandler(c.sample, [this, channel = c.channel](const QString& r) {
            curve_->sampleReply(channel, r);
        });
    }
}

QString TesterSession::pendingText() const {
    if (curve_->running()) {
        return QStringLiteral(" after %1 of %2 samples")
            .arg(curve_->received())
            .arg(curve_->lastSampleIndex());
    }
    if (phase_ == Phase::Eeprom) {
        return QStringLiteral(" after %1 of %2 EEPROM bytes")
            .arg(eepromReplies_)
            .arg(EepromDump::kLastAddress + 1);
    }
    return {};
}

void TesterSession::dataArrived(const std::uint8_t* data, std::uint16_t size) {
    if (phase_ != Phase::Version &&
        ReplyPrefix(replyText(data, size)) == QLatin1String(code(ReplyKind::Version))) {
        // The version's answer after its own time-out: it answers nothing asked now, and
        // the dispatcher would stop the wait for the reply that is, which then goes unread.
        return;
    }
    if (interrupted_) {
        // The reply to the last request: now nothing is under way.
        replyTimer_.stop();
        finish(interruption());
        return;
    }
    const std::int32_t asked = curve_->running() ? curve_->nextSampleIndex() : -1;
    dispatcher_.dispatch(data, size);
    // Nobody reads the replies' log here; two lines a sample would only pile up.
    log_.clear();
    if (finished_) {
        return;
    }
    if (curve_->running() && curve_->nextSampleIndex() != asked) {
        // The window waits for a sample as long as it takes; a script must not hang on a
        // tester that stopped answering, so each sample gets the reply time-out too.
        replyTimer_.start();
        return;
    }
    if (phase_ == Phase::Version && !versionTimer_.isActive()) {
        finish(); // the version, or a reply the window would take as none
    } else if ((phase_ == Phase::Reading || phase_ == Phase::Eeprom) && !replyTimer_.isActive()) {
        // Every reply stops the wait; one that asks for nothing more and ends nothing is
        // one the window would wait after for ever.
        finish(CliError{Exit::TesterRefused,
                        QStringLiteral("the tester's reply was not understood: \"%1\"")
                            .arg(shown(replyText(data, size)))});
    }
}

void TesterSession::Dialogs::showBox(const MessageBox& box) {
    session_.finish(
        CliError{Exit::TesterRefused,
                 QStringLiteral("the tester's reply could not be handled: ") + box.text});
}

void TesterSession::replyTimedOut() {
    replyTimer_.stop();
    if (interrupted_) {
        finish(interruption());
        return;
    }
    if (curve_->running()) {
        finish(CliError{Exit::TimedOut, QStringLiteral("no reply from the tester within %1 ms%2")
                                            .arg(settings_.timeoutMs)
                                            .arg(pendingText())});
        return;
    }
    finish(CliError{Exit::TimedOut,
                    QStringLiteral("No data has been received! Select USB>PC function in KR90X "
                                   "(no reply within %1 ms%2)")
                        .arg(settings_.timeoutMs)
                        .arg(pendingText())});
}

void TesterSession::compressionReply(const QString& reply, Fuel fuel) {
    const TestFunction* f = testFunction(state_.ReadFunction);
    if (phase_ != Phase::Reading || !f || f->fuel != fuel) {
        return; // no answer to what was asked
    }
    const Result<CompressionResult, FieldError> result = parseCompression(reply, fuel);
    if (!result) {
        finish(CliError{Exit::TesterRefused,
                        QStringLiteral("the tester's compression reply holds no number at "
                                       "character %1: \"%2\"")
                            .arg(result.error().position)
                            .arg(shown(reply))});
        return;
    }
    reading_ = Reading{f->index, state_.DeviceFirmwareVersion, QDateTime::currentDateTimeUtc(),
                       *result, std::nullopt};
    finish();
}

void TesterSession::countReply(CurveChannel channel, const QString& reply) {
    if (phase_ != Phase::Reading) {
        return;
    }
    const int function = curveFunction(channel, state_.ReadFunction, state_.ReadFunction);
    if (curve_->countReply(channel, reply, function) == CurveDownload::Outcome::Refused) {
        finish(CliError{Exit::TesterRefused,
                        QStringLiteral("the tester's sample count was not understood: \"%1\"")
                            .arg(shown(reply))});
    }
}

void TesterSession::curveProgress(int) {
    if (progress_) {
        progress_(curve_->received(), curve_->lastSampleIndex());
    }
}

void TesterSession::curveCompleted(const Curve& curve) {
    reading_ = Reading{curve.function, state_.DeviceFirmwareVersion,
                       QDateTime::currentDateTimeUtc(), std::nullopt, curve};
    finish();
}

void TesterSession::curveEmpty() {
    finish(CliError{Exit::TesterRefused,
                    QStringLiteral("No data available ! The tester holds no %1 curve")
                        .arg(QString::fromLatin1(testFunction(state_.ReadFunction)->name))});
}

CliResult<Reading> TesterSession::read(int function, const Progress& progress) {
    const TestFunction* f = testFunction(function);
    if (!f) {
        return cliFail(Exit::Usage, QStringLiteral("no test function %1").arg(function));
    }
    if (f->needsNewFirmware && state_.DeviceFirmwareVersion < kFirmwareGateVersion) {
        return cliFail(Exit::TesterRefused,
                       QStringLiteral("Option not available, KR90X firmware must be updated to "
                                      "enable this function (%1 needs firmware %2, the tester "
                                      "has %3)")
                           .arg(QString::fromLatin1(f->name))
                           .arg(kFirmwareGateVersion)
                           .arg(state_.DeviceFirmwareVersion));
    }
    if (interrupted_) {
        return cliFail(Exit::Interrupted, QStringLiteral("interrupted"));
    }
    if (!state_.TesterDevice || !state_.TesterDevice->IsPluggedIn()) {
        return cliFail(Exit::NoTester, QStringLiteral("the tester was unplugged"));
    }
    reading_.reset();
    progress_ = progress;
    state_.ReadFunction = function;
    sender_.SendCommand(QString::fromLatin1(code(f->command)), &replyTimer_);
    if (CliResult<Done> r = run(Phase::Reading); !r) {
        return fail(r.error());
    }
    return *reading_;
}

CliResult<QStringList> TesterSession::eeprom(const Progress& progress) {
    if (interrupted_) {
        return cliFail(Exit::Interrupted, QStringLiteral("interrupted"));
    }
    if (!state_.TesterDevice || !state_.TesterDevice->IsPluggedIn()) {
        return cliFail(Exit::NoTester, QStringLiteral("the tester was unplugged"));
    }
    dumpLog_.clear();
    eepromReplies_ = 0;
    progress_ = progress;
    // The dump writes its lines once the last address is in: that is its end.
    dumpLog_.setSink([this](const QString&) {
        if (dumpLog_.count() > EepromDump::kLastAddress) {
            finish();
        }
    });
    eeprom_->start();
    if (CliResult<Done> r = run(Phase::Eeprom); !r) {
        return fail(r.error());
    }
    return dumpLog_.lines();
}

} // namespace kr90x::cli
