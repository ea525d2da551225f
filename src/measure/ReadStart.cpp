#include "measure/ReadStart.h"

#include "core/AppState.h"
#include "core/ControlStates.h"
#include "core/DialogService.h"
#include "core/Log.h"
#include "measure/TestFunctions.h"
#include "protocol/CommandSender.h"

#include <QTimer>

namespace kr90x {

// A report describes exactly what the charts show: once the curve chart no longer shows
// the completed curve, that curve's report goes with it (a re-plug enables Read data
// with the result still up, and a report would otherwise print its title over an empty
// chart, or over part of another curve).
void ReadStart::curveChartChanged() {
    const TestFunction* completed = testFunction(state_.CompletedFunction);
    const bool curveResult = completed && completed->isCurve();
    if (curveResult) {
        state_.CompletedFunction = -1;
    }
    controls_.curveChartReset(curveResult);
}

void ReadStart::setScale(const TestFunction& f) {
    curveChart_.setCurveScale(f);
    curveChartChanged();
}

void ReadStart::emptyCurveChart() {
    curveChart_.clearCurves();
    curveChartChanged();
}

void ReadStart::start(int selectedFunction) {
    log_.clear();
    controls_.readPressed();
    const TestFunction* f = testFunction(selectedFunction);
    if (!f) {
        return;
    }
    if (f->isCurve()) {
        setScale(*f);
    }
    if (f->needsNewFirmware && state_.DeviceFirmwareVersion < kFirmwareGateVersion) {
        dialogs_.information(QStringLiteral(
            "Option not available, KR90X firmware must be updated to enable this function."));
        controls_.firmwareRefused();
        return;
    }
    emptyCurveChart();
    state_.ReadFunction = selectedFunction;
    sender_.SendCommand(QString::fromLatin1(code(f->command)), &replyTimer_);
}

void ReadStart::prepareForRecord(int function) {
    const TestFunction* f = testFunction(function);
    if (!f) {
        return;
    }
    if (f->isCurve()) {
        setScale(*f);
    }
    emptyCurveChart();
    state_.ReadFunction = function;
}

bool ReadStart::awaitingReply() const {
    return replyTimer_.isActive();
}

} // namespace kr90x
