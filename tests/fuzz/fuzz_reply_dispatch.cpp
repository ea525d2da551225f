// Arbitrary input reports through the window's report handler, with every reply handler
// the window has: nothing may crash, and nothing may grow from one report to the next
// but what a real session accumulates too (the log lines and the curve's points, one
// per sample), which is emptied after each report here.
#include "app/TForm1.h"
#include "charts/PressureChart.h"
#include "core/AppState.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "reports/ReportDialogs.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

class SilentDialogs : public kr90x::reports::ReportDialogs {
public:
    void showBox(const kr90x::MessageBox&) override {}
};

struct Window {
    kr90x::AppState state;
    SilentDialogs dialogs;
    kr90x::VirtualHidPlatform hid;
    kr90x::TForm1 form{state, dialogs, hid, kr90x::UpdateSettings{}};
};

Window& window() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: torn down by the exit handlers, the window and the application
    // would go in an order that depends on which Qt libraries are linked, and what Qt
    // still held then would be reported as leaked.
    static QApplication* app = new QApplication(argc, argv);
    static Window* w = new Window;
    (void)app;
    return *w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Window& w = window();
    if (size == 0 || size > 1024) {
        return 0;
    }
    w.form.HidContDeviceData(nullptr, data[0], data + 1, static_cast<std::uint16_t>(size - 1));
    w.form.log().clear();
    w.form.Chart2->Series2.Clear();
    w.form.Chart2->Series3.Clear();
    return 0;
}
