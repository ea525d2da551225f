#include "core/ControlStates.h"

namespace kr90x {

void ControlStates::testerCheckedOut(bool usable) {
    view_.setReadDataEnabled(usable);
    view_.setUsbPicture(usable ? UsbPicture::Colour : UsbPicture::Grey);
    view_.setConnectionText(QString::fromLatin1(usable ? kConnectedText : kNoAccessText));
}

void ControlStates::noTesterFound() {
    view_.setReadDataEnabled(false);
    view_.setConnectionText(QString::fromLatin1(kWaitingText));
}

void ControlStates::testerGone() {
    view_.setReadDataEnabled(false);
    view_.setUsbPicture(UsbPicture::Grey);
    view_.setConnectionText(QString::fromLatin1(kWaitingText));
}

void ControlStates::homePressed(bool testerConnected) {
    view_.setReadDataEnabled(testerConnected);
    view_.setReportEnabled(false);
    view_.setCompressionChartVisible(false);
    view_.setCurveChartVisible(false);
}

void ControlStates::readPressed() {
    view_.setReadDataEnabled(false);
}

void ControlStates::firmwareRefused() {
    view_.setReadDataEnabled(true);
}

// Enabled whether or not a tester is still connected: the user may try again.
void ControlStates::replyTimedOut() {
    view_.setReadDataEnabled(true);
}

void ControlStates::curveChartReset(bool reportDropped) {
    view_.setCurveChartVisible(false);
    if (reportDropped) {
        view_.setReportEnabled(false);
    }
}

void ControlStates::compressionShown() {
    view_.setReadDataEnabled(false);
    view_.setReportEnabled(true);
    view_.setCompressionChartVisible(true);
}

void ControlStates::curveStarted() {
    view_.setProgressVisible(true);
}

void ControlStates::curveProgress(int percent) {
    if (percent > view_.progressPercent()) {
        view_.setProgressPercent(percent);
    }
}

void ControlStates::curveFinished(bool reportAvailable) {
    view_.setReadDataEnabled(false);
    view_.setReportEnabled(reportAvailable);
    view_.setCurveChartVisible(true);
    progressReset();
}

void ControlStates::progressReset() {
    view_.setProgressVisible(false);
    view_.setProgressPercent(0);
}

} // namespace kr90x
