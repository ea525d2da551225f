#pragma once

#include "CliError.h"
#include "core/AppState.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "measure/CompressionReply.h"
#include "measure/CurveDownload.h"
#include "protocol/CommandSender.h"
#include "protocol/ReplyDispatcher.h"
#include "simulator/TesterOptions.h"

#include <QDateTime>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kr90x {
class EepromDump;
class HidPlatform;
class THidDevice;
class THidDeviceController;
class VirtualTester;
class VersionReply;
} // namespace kr90x

namespace kr90x::cli {

// A tester as `devices` lists it.
struct TesterInfo {
    QString node;
    QString serial;              // empty when the tester gives none
    std::optional<int> firmware; // none when this user may not open it
    bool access = true;
};

// A whole result, as the window would show it.
struct Reading {
    int function = -1;
    int firmware = 0;
    QDateTime measuredAt; // UTC, when the result became whole
    std::optional<CompressionResult> compression;
    std::optional<Curve> curve;
};

// How far a long transfer has come, for whoever shows it: done and total units.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// One conversation with one tester, on the program's own HID layer, commands and reply
// handling: found as the window finds it (or the simulated tester of --virtual-tester),
// greeted with the version question, then asked for one result. Each call runs the event
// loop until its answer is whole, the reply time-out passes or the user interrupts.
class TesterSession : public CurveListener {
public:
    struct Settings {
        std::optional<TesterOptions> virtualTester;
        QString device; // empty: the only tester there is
        int timeoutMs = 500;
    };

    explicit TesterSession(Settings settings);
    ~TesterSession() override;

    // Every tester present, each greeted in turn for its firmware version.
    CliResult<std::vector<TesterInfo>> survey();
    // Takes the tester chosen and learns its firmware version.
    CliResult<TesterInfo> connect();
    // After connect(): one test function's result.
    CliResult<Reading> read(int function, const Progress& progress);
    // After connect(): the EEPROM dump, as the window writes it to its log.
    CliResult<QStringList> eeprom(const Progress& progress);

    // Ctrl+C: the download stops asking, the reply under way is awaited (a bounded time)
    // so that the tester is left idle, and the call that runs returns Exit::Interrupted.
    void interrupt();

private:
    enum class Phase { Idle, Finding, Version, Reading, Eeprom };

    // CurveListener
    void curveStarted() override {}
    void curveProgress(int percent) override;
    void curveCompleted(const Curve& curve) override;
    void curveEmpty() override;

    CliResult<Done> run(Phase phase);
    void finish(std::optional<CliError> error = std::nullopt);
    void deviceChanged();
    CliResult<Done> choose();
    THidDevice* take(THidDevice* wanted);
    std::vector<THidDevice*> testersPresent() const;
    void greet(THidDevice* tester);
    void dataArrived(const std::uint8_t* data, std::uint16_t size);
    void replyTimedOut();
    void setHandlers();
    void compressionReply(const QString& reply, Fuel fuel);
    void countReply(CurveChannel channel, const QString& reply);
    QString pendingText() const;
    CliError interruption() const { return {Exit::Interrupted, interruptText_}; }

    Settings settings_;
    std::unique_ptr<HidPlatform> platform_;
    std::shared_ptr<VirtualTester> virtualTester_;
    // Where the HID layer would open a box: an error that escaped the handling of a
    // report, which ends the conversation.
    class Dialogs : public DialogService {
    public:
        explicit Dialogs(TesterSession& session) : session_(session) {}
        void showBox(const MessageBox& box) override;

    private:
        TesterSession& session_;
    } dialogs_{*this};
    Log log_;     // the replies, as the window logs them
    Log dumpLog_; // the EEPROM dump's lines
    AppState state_;
    CommandSender sender_{state_};
    QTimer replyTimer_;
    QTimer versionTimer_;
    ReplyDispatcher dispatcher_{log_, replyTimer_};
    std::unique_ptr<VersionReply> versionReply_;
    std::unique_ptr<CurveDownload> curve_;
    std::unique_ptr<EepromDump> eeprom_;
    std::unique_ptr<THidDeviceController> controller_;

    QEventLoop loop_;
    Phase phase_ = Phase::Idle;
    std::optional<CliError> error_;
    bool interrupted_ = false;
    bool versionUnanswered_ = false; // the last version question went unanswered
    QString interruptText_;          // what was cut, said when the last reply is in
    bool finished_ = false;
    std::vector<THidDevice*> found_; // the first pass' testers, for survey()
    Progress progress_;
    std::size_t eepromReplies_ = 0;
    std::optional<Reading> reading_;
};

} // namespace kr90x::cli
