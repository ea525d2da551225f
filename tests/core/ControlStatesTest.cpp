#include "core/ControlStates.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

using namespace kr90x;

namespace {

// Records which properties an event set, and to what.
class RecordingView : public ControlView {
public:
    std::map<std::string, std::string> changes;
    int percent = 0;

    void setReadDataEnabled(bool v) override { set("read", v); }
    void setReportEnabled(bool v) override { set("report", v); }
    void setCompressionChartVisible(bool v) override { set("chart1", v); }
    void setCurveChartVisible(bool v) override { set("Chart2", v); }
    void setProgressVisible(bool v) override { set("pb1", v); }
    int progressPercent() const override { return percent; }
    void setProgressPercent(int p) override {
        percent = p;
        changes["percent"] = std::to_string(p);
    }
    void setUsbPicture(UsbPicture p) override {
        changes["usb"] = p == UsbPicture::Colour ? "colour" : "grey";
    }
    void setConnectionText(const QString& t) override { changes["panel0"] = t.toStdString(); }

private:
    void set(const std::string& what, bool v) { changes[what] = v ? "on" : "off"; }
};

struct Row {
    const char* event;
    std::function<void(ControlStates&)> apply;
    std::map<std::string, std::string> expected;
};

} // namespace

// Each event sets exactly the properties its rule names and leaves the rest alone.
TEST(ControlStates, EveryEventSetsOnlyWhatItsRuleNames) {
    const std::vector<Row> rows = {
        {"tester checked out",
         [](auto& c) { c.testerCheckedOut(); },
         {{"read", "on"}, {"usb", "colour"}, {"panel0", "KR90X connected"}}},
        {"no tester found",
         [](auto& c) { c.noTesterFound(); },
         {{"read", "off"}, {"panel0", "Waiting for device ...."}}},
        {"tester gone",
         [](auto& c) { c.testerGone(); },
         {{"read", "off"}, {"usb", "grey"}, {"panel0", "Waiting for device ...."}}},
        {"home, tester connected",
         [](auto& c) { c.homePressed(true); },
         {{"read", "on"}, {"report", "off"}, {"chart1", "off"}, {"Chart2", "off"}}},
        {"home, no tester",
         [](auto& c) { c.homePressed(false); },
         {{"read", "off"}, {"report", "off"}, {"chart1", "off"}, {"Chart2", "off"}}},
        {"read pressed", [](auto& c) { c.readPressed(); }, {{"read", "off"}}},
        {"firmware refused", [](auto& c) { c.firmwareRefused(); }, {{"read", "on"}}},
        {"reply timed out", [](auto& c) { c.replyTimedOut(); }, {{"read", "on"}}},
        {"compression shown",
         [](auto& c) { c.compressionShown(); },
         {{"read", "off"}, {"report", "on"}, {"chart1", "on"}}},
        {"curve started", [](auto& c) { c.curveStarted(); }, {{"pb1", "on"}}},
    };
    for (const Row& row : rows) {
        RecordingView view;
        ControlStates states(view);
        row.apply(states);
        EXPECT_EQ(view.changes, row.expected) << row.event;
    }
}

TEST(ControlStates, ALastSampleShowsTheCurveAndEnablesReportOnlyWhereOneExists) {
    for (bool reportAvailable : {true, false}) {
        RecordingView view;
        view.percent = 80;
        ControlStates states(view);
        states.curveFinished(reportAvailable);
        const std::map<std::string, std::string> expected = {
            {"read", "off"},
            {"report", reportAvailable ? "on" : "off"},
            {"Chart2", "on"},
            {"pb1", "off"},
            {"percent", "0"}};
        EXPECT_EQ(view.changes, expected) << "report " << reportAvailable;
    }
}

TEST(ControlStates, ProgressOnlyEverGrowsDuringADownload) {
    RecordingView view;
    ControlStates states(view);
    view.percent = 40; // left over from a download cut short
    states.curveProgress(10);
    states.curveProgress(40);
    EXPECT_TRUE(view.changes.empty());
    states.curveProgress(41);
    EXPECT_EQ(view.percent, 41);
    states.curveProgress(100);
    EXPECT_EQ(view.percent, 100);
}

// Home in the middle of a download, then the last sample: the curve comes back and
// "Read data" is disabled again.
TEST(ControlStates, OrderOfEventsDecidesTheCombinedState) {
    RecordingView view;
    ControlStates states(view);
    states.testerCheckedOut();
    states.readPressed();
    states.curveStarted();
    states.curveProgress(30);
    states.homePressed(true);
    EXPECT_EQ(view.changes["read"], "on");
    EXPECT_EQ(view.changes["Chart2"], "off");
    EXPECT_EQ(view.changes["pb1"], "on");
    states.curveFinished(true); // common-rail high pressure
    EXPECT_EQ(view.changes["read"], "off");
    EXPECT_EQ(view.changes["Chart2"], "on");
    EXPECT_EQ(view.changes["report"], "on");
    EXPECT_EQ(view.changes["pb1"], "off");

    // Unplugging leaves the result and its report alone.
    states.testerGone();
    EXPECT_EQ(view.changes["Chart2"], "on");
    EXPECT_EQ(view.changes["report"], "on");
    EXPECT_EQ(view.changes["read"], "off");
}
