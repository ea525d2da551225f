#pragma once

#include "app/RadioGroup.h"
#include "app/TForm1.h"

#include "core/NumberFormat.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "reports/ReportPreview.h"
#include "reports/TRepProject.h"
#include "reports/TRepSystem.h"
#include "support/RecordingDialogService.h"
#include <QPushButton>

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace kr90x::test {

// Runs one of poppler's tools (or any program) and returns what it printed; the test
// fails when it does not finish or fails.
inline QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The window with a comma as decimal separator, a compression result and a curve, and
// the report windows answered by the recording dialog service.
class ReportFixture : public ::testing::Test {
protected:
    AppState state;
    RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;

    void SetUp() override {
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        form->RepSystem1->listPrinters = [] { return std::vector<reports::PrinterEntry>{}; };
        ASSERT_TRUE(dir.isValid());
    }

    // KR90X_REPORT_DIR keeps the files for a look at them.
    QString path(const QString& name) const {
        const QString keep = qEnvironmentVariable("KR90X_REPORT_DIR");
        return keep.isEmpty() ? dir.filePath(name) : keep + QLatin1Char('/') + name;
    }

    // What the compression handlers leave behind for a result.
    void compressionResult(const std::vector<double>& values) {
        form->chart1->Series1.Clear();
        form->chart1->setTitle(QStringLiteral("Petrol Compression"));
        for (int n = 6; n >= 1; --n) {
            form->chart1->Series1.AddBar(values[static_cast<std::size_t>(n - 1)],
                                         QStringLiteral("Cyl # %1").arg(n));
        }
        for (int n = 1; n <= 6; ++n) {
            form->RepProject1->setParam(
                QStringLiteral("Cilindro_%1").arg(n),
                formatText(kCylinderFormat,
                           {static_cast<unsigned>(n), values[static_cast<std::size_t>(n - 1)]},
                           state.Format));
        }
        state.CompletedFunction = 0;
    }

    // What the curve download leaves behind for a complete curve of `points` samples.
    void curveResult(int function, int points) {
        form->Chart2->Series2.Clear();
        form->Chart2->Series3.Clear();
        form->Chart2->setLeftAxisMinimum(0);
        form->Chart2->setLeftAxisMaximum(80);
        form->Chart2->setTitle(QStringLiteral("Oil Pressure (Bar)"));
        for (int i = 0; i < points; ++i) {
            form->Chart2->Series2.AddY(40.0 + 30.0 * std::sin(i / 50.0));
        }
        state.CompletedFunction = function;
    }

    // Report with the default choices, and Save As PDF from the preview.
    QString reportToPdf(const QString& name) {
        const QString file = path(name);
        dialogs.saveAnswers.push_back({file, 1});
        dialogs.onModal = [](QDialog& window) {
            static_cast<reports::ReportPreview&>(window).saveAs();
        };
        form->btnReportClick(form->btnReport);
        dialogs.onModal = nullptr;
        return file;
    }
};

} // namespace kr90x::test
