#pragma once

class QTimer;

namespace kr90x {

struct AppState;
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

private:
    void curveChartChanged();

    AppState& state_;
    Log& log_;
    ControlStates& controls_;
    DialogService& dialogs_;
    CommandSender& sender_;
    QTimer& replyTimer_;
    charts::PressureChart& curveChart_;
};

} // namespace kr90x
