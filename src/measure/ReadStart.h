#pragma once

class QTimer;

namespace kr90x {

struct AppState;
struct TestFunction;
class CommandSender;
class ControlStates;
class DialogService;
class Log;

// What a read start changes on the curve chart, done by whoever shows the chart.
class CurveChartView {
public:
    virtual ~CurveChartView() = default;
    // The left axis from 0 to the function's maximum, and the function's title.
    virtual void setCurveScale(const TestFunction& f) = 0;
    // The curve, its band and a comparison curve all go.
    virtual void clearCurves() = 0;
};

// "Read data": prepares the curve chart for the selected test function, refuses the
// functions the tester's firmware cannot serve and sends the function's first command.
class ReadStart {
public:
    ReadStart(AppState& state, Log& log, ControlStates& controls, DialogService& dialogs,
              CommandSender& sender, QTimer& replyTimer, CurveChartView& curveChart)
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
    CurveChartView& curveChart_;
};

} // namespace kr90x
