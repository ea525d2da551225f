#pragma once

class QTimer;

namespace kr90x {

struct AppState;
struct TestFunction;
class CommandSender;
class ControlStates;
class DialogService;
class Log;
namespace charts {
class PressureChart;
}

// "Read data": prepares the curve chart for the selected test function, refuses the
// functions the tester's firmware cannot serve and sends the function's first command.
class ReadStart {
public:
    ReadStart(AppState& state, Log& log, ControlStates& controls, DialogService& dialogs,
              CommandSender& sender, QTimer& replyTimer, charts::PressureChart& curveChart)
        : state_(state), log_(log), controls_(controls), dialogs_(dialogs), sender_(sender),
          replyTimer_(replyTimer), curveChart_(curveChart) {}

    void start(int selectedFunction);
    // The charts as a read of `function` leaves them just before its result comes, for a
    // result that comes from the records instead of the tester: nothing is sent.
    void prepareForRecord(int function);
    // A command was sent and the tester has not answered yet (nor did the wait run out).
    // The reply timer is shared with the EEPROM dump, whose wait counts as well.
    bool awaitingReply() const;

private:
    void curveChartChanged();
    void setScale(const TestFunction& f);
    void emptyCurveChart();

    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    DialogService& dialogs_;
    CommandSender& sender_;
    QTimer& replyTimer_;
    charts::PressureChart& curveChart_;
};

} // namespace kr90x
