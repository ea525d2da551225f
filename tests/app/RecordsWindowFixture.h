#pragma once

// The window with its workshop records in a data folder of their own, and the steps the
// records tests take on it.
#include "WindowFixture.h"

#include "app/RecordsWindow.h"
#include "app/VehicleDialog.h"
#include "app/WorkshopRecords.h"
#include "records/RecordsFixture.h"
#include "reports/ReportFixture.h"
#include "reports/TRepProject.h"

#include <QMessageBox>
#include <QPlainTextEdit>

namespace kr90x::test {

inline const QString kPetrolReply = QStringLiteral("KR90X_COMG|0125|0130|0098|0110|0120|0000");

class RecordsTest : public WindowFixture {
protected:
    QTemporaryDir data;
    QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");

    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        state.Format = FormatSettings{QLatin1Char(','), QLatin1Char('.')};
        WindowFixture::SetUp();
        form->RepSystem1->listPrinters = [] { return std::vector<reports::PrinterEntry>{}; };
    }
    void TearDown() override {
        form.reset();
        if (oldDataHome.isNull()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", oldDataHome);
        }
    }
    QString storePath() const { return data.filePath(QStringLiteral("orvo-kr90x/records.sqlite")); }
    void openStore() {
        form->records().openStore(records::RecordStore::defaultPath());
        drainEvents();
    }
    void restart() {
        form.reset();
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        form->show();
        openStore();
    }
    void oilCurve(std::initializer_list<int> raw) {
        read(6);
        receive(QStringLiteral("KR90X_GAMX|%1|").arg(static_cast<int>(raw.size()) + 1, 5));
        int k = 0;
        for (int v : raw) {
            receive(sample("KR90X_GAVA", ++k, v));
        }
    }
    std::vector<records::RecordSummary> kept() {
        return form->records().store().list().value_or(std::vector<records::RecordSummary>{});
    }
    RecordsWindow& recordsWindow() {
        form->btnRecords->click();
        RecordsWindow* w = form->records().recordsWindow();
        EXPECT_NE(w, nullptr);
        return *w;
    }
    // The records window with the rows of these records chosen.
    void choose(RecordsWindow& w, std::vector<records::RecordId> ids) { w.select(ids); }
    // The mechanic fills in the vehicle dialog and presses OK.
    void enterVehicle(const std::function<void(VehicleDialog&)>& fill) {
        dialogs.onModal = [&](QDialog& d) {
            auto& v = dynamic_cast<VehicleDialog&>(d);
            fill(v);
            v.accept();
        };
        form->btnVehicle->click();
        dialogs.onModal = nullptr;
    }
    QString reportText(const QString& name) {
        const QString file = data.filePath(name);
        dialogs.saveAnswers.push_back({file, 1});
        dialogs.onModal = [](QDialog& window) {
            static_cast<reports::ReportPreview&>(window).saveAs();
        };
        form->btnReport->click();
        dialogs.onModal = nullptr;
        return runTool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    }
    void answerQuestion(QMessageBox::StandardButton answer) {
        dialogs.onModal = [answer](QDialog& d) {
            dynamic_cast<QMessageBox&>(d).button(answer)->click();
        };
    }
};

} // namespace kr90x::test
