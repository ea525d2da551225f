#pragma once

#include <QString>

namespace kr90x {

enum class UsbPicture { Grey, Colour };

// The controls whose state guides the user through a read: pick, read, look, report, home.
class ControlView {
public:
    virtual ~ControlView() = default;
    virtual void setReadDataEnabled(bool enabled) = 0;
    virtual void setReportEnabled(bool enabled) = 0;
    virtual void setCompressionChartVisible(bool visible) = 0;
    virtual void setCurveChartVisible(bool visible) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual int progressPercent() const = 0;
    // Sets the progress percentage and redraws the bar at once.
    virtual void setProgressPercent(int percent) = 0;
    virtual void setUsbPicture(UsbPicture picture) = 0;
    virtual void setConnectionText(const QString& text) = 0;
};

inline constexpr char kConnectedText[] = "KR90X connected";
inline constexpr char kWaitingText[] = "Waiting for device ....";
// A tester that is there but that this user may not open: seen, not usable.
inline constexpr char kNoAccessText[] = "KR90X found, but this user may not open it";

// Every change of the controls' state, one method per event. The cycle is not stored
// anywhere but in the controls: each event sets only what its rule names, so the
// combined state depends on the order of events. Events that change nothing (a device
// change with the tester still there, a curve with no samples) have no method.
class ControlStates {
public:
    explicit ControlStates(ControlView& view) : view_(view) {}

    // Device changes. `usable`: the tester may be opened for reading and writing; one that
    // may not is shown as found, and Read data is not offered for it.
    void testerCheckedOut(bool usable = true);
    void noTesterFound();
    void testerGone();

    void homePressed(bool testerConnected);
    void readPressed();
    void firmwareRefused();
    void replyTimedOut();

    // A read start changed the curve chart (emptied it, or set its scale and title):
    // the curve it showed is gone. The chart stays hidden until its new curve is complete,
    // so that a compression result beneath it shows; `reportDropped`: the report followed
    // that curve, and there is none to make now.
    void curveChartReset(bool reportDropped);

    void compressionShown();
    void curveStarted();
    // Raises the progress bar to a new percentage; a lower or equal one is ignored.
    void curveProgress(int percent);
    // `reportAvailable`: the function of the curve has a report.
    void curveFinished(bool reportAvailable);
    // The download the bar showed is gone (cut by an unplug): the bar goes, at 0 %.
    void progressReset();

private:
    ControlView& view_;
};

} // namespace kr90x
