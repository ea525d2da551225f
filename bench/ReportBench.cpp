// Report click to a written PDF of the pressure report with a 65,534-point curve, the
// dialogs answered at once (Preview, then Save As PDF from the preview).
// Run: build/bench/kr90x_report_bench
#include "app/TForm1.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "reports/ReportPreview.h"
#include "reports/TRepSystem.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

class AnsweringDialogs : public kr90x::reports::ReportDialogs {
public:
    QString file;
    void showBox(const kr90x::MessageBox&) override {}
    kr90x::reports::OutputOptionsAnswer
    outputOptions(const kr90x::reports::OutputOptionsRequest&) override {
        kr90x::reports::OutputOptionsAnswer a;
        a.accepted = true;
        return a;
    }
    bool runWithStatus(const QString&,
                       const std::function<bool(kr90x::reports::StatusReporter&)>& work) override {
        struct R : kr90x::reports::StatusReporter {
            void setStatusText(const QString&) override {}
            bool cancelRequested() const override { return false; }
        } r;
        return work(r);
    }
    void showModalWindow(QDialog& window) override {
        static_cast<kr90x::reports::ReportPreview&>(window).saveAs();
    }
    QString saveFileName(const QString&, const QStringList&, int& index, const QString&) override {
        index = 1;
        return file;
    }
};

void BM_PressureReportToPdf(benchmark::State& state) {
    kr90x::AppState app;
    AnsweringDialogs dialogs;
    kr90x::VirtualHidPlatform hid;
    kr90x::TForm1 form(app, dialogs, hid, kr90x::UpdateSettings{});
    form.RepSystem1->listPrinters = [] { return std::vector<kr90x::reports::PrinterEntry>{}; };
    QTemporaryDir dir;
    dialogs.file = dir.filePath(QStringLiteral("pressure.pdf"));
    form.Chart2->setLeftAxisMaximum(2000);
    for (int i = 0; i < 65534; ++i) {
        form.Chart2->Series2.AddY(1000.0 + 800.0 * std::sin(i / 700.0) + (i % 13));
        form.Chart2->Series3.AddY(1050.0);
    }
    app.CompletedFunction = 2;
    for (auto _ : state) {
        form.btnReportClick(form.btnReport);
    }
}
BENCHMARK(BM_PressureReportToPdf)->Unit(benchmark::kMillisecond);

} // namespace
