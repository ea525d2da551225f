// The workshop records in the window: a read kept and dated, its vehicle on the report,
// the record back after a restart, compared, deleted and exported, and a store that
// cannot be used never keeping a result from showing.
#include "RecordsWindowFixture.h"
#include "support/WaitFor.h"

#include "charts/CompressionChart.h"
#include "charts/PressureChart.h"

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>

using namespace kr90x;

using test::kPetrolReply;
using test::RecordsTest;

TEST_F(RecordsTest, AReadIsKeptWithItsVehicleOnTheReportAndComesBackAfterARestart) {
    openStore();
    EXPECT_TRUE(dialogs.boxes.empty());
    receive(kPetrolReply);
    ASSERT_TRUE(QFile::exists(storePath()));
    ASSERT_EQ(kept().size(), 1u);
    EXPECT_EQ(kept()[0].functionName, QStringLiteral("Petrol Compression"));

    // Any Unicode, printed as typed.
    enterVehicle([](VehicleDialog& v) {
        v.plate->setText(QStringLiteral(" Ñ-1234 Ğ "));
        v.customer->setText(QStringLiteral("Åsa Öberg"));
        v.makeModel->setText(QStringLiteral("VW Golf"));
        v.notes->setPlainText(QStringLiteral("head gasket\nreplaced"));
    });
    const records::VehicleDetails stored = kept()[0].vehicle;
    EXPECT_EQ(stored.plate, QStringLiteral("Ñ-1234 Ğ"));
    EXPECT_EQ(stored.customer, QStringLiteral("Åsa Öberg"));

    const QString measured = form->RepProject1->param(QStringLiteral("MeasuredAt"));
    EXPECT_TRUE(measured.startsWith(QStringLiteral("Measured: ") +
                                    QDate::currentDate().toString(Qt::ISODate)))
        << measured.toStdString();
    const QString text = reportText(QStringLiteral("petrol.pdf")).simplified();
    // Save As offers the plate and the day as the file's name.
    EXPECT_EQ(dialogs.saveSuggested.back(),
              QStringLiteral("Ñ-1234 Ğ ") + QDate::currentDate().toString(Qt::ISODate));
    for (const QString& line :
         {measured, QStringLiteral("Plate: Ñ-1234 Ğ"), QStringLiteral("Customer: Åsa Öberg"),
          QStringLiteral("Make and model: VW Golf"), QStringLiteral("Notes: head gasket replaced"),
          QStringLiteral("Spread: 100,0 % Low: cylinders 3, 4, 6"),
          QStringLiteral("Cylinder # 3: 9,8 Bar"), QStringLiteral("COMPRESSION TEST")}) {
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << "\nin: " << text.toStdString();
    }
    EXPECT_FALSE(text.contains(QStringLiteral("VIN"))) << "details not given print nothing";

    // A restart: the record opens as if just read, and Report and Vehicle work on it.
    restart();
    EXPECT_EQ(form->chart1->Series1.Count(), 0);
    RecordsWindow& w = recordsWindow();
    ASSERT_EQ(w.model().rowCount(), 1);
    EXPECT_EQ(w.model().data(w.model().index(0, records::RecordsModel::Plate)).toString(),
              stored.plate);
    choose(w, {kept()[0].id});
    w.show();
    w.activateWindow();
    ASSERT_TRUE(test::waitFor([&] { return QApplication::activeWindow() == &w; }));
    w.openButton->click();
    EXPECT_EQ(form->chart1->Series1.Bar, (std::vector<double>{0.0, 12.0, 11.0, 9.8, 13.0, 12.5}));
    // The main window comes forward, with the record's day and vehicle under the functions.
    EXPECT_TRUE(test::waitFor([&] { return QApplication::activeWindow() == form.get(); }));
    QLabel* lines = form->records().resultLabel();
    EXPECT_FALSE(lines->isHidden());
    EXPECT_EQ(lines->text(), QStringLiteral("Measured %1\nÑ-1234 Ğ, VW Golf\nÅsa Öberg")
                                 .arg(records::RecordsModel::dateText(kept()[0].measuredAt)));
    EXPECT_FALSE(form->chart1->isHidden());
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_FALSE(form->btnReaddata->isEnabled());
    EXPECT_EQ(state.CompletedFunction, 0);
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("Cilindro_3")),
              QStringLiteral("Cylinder # 3:  9,8 Bar"));
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("MeasuredAt")), measured);
    EXPECT_TRUE(reportText(QStringLiteral("again.pdf")).contains(QStringLiteral("Åsa Öberg")));
    enterVehicle([&](VehicleDialog& v) {
        EXPECT_EQ(v.details(), stored) << "the dialog opens on the record's details";
        v.technician->setText(QStringLiteral("Chen Wei"));
    });
    EXPECT_EQ(kept()[0].vehicle.technician, QStringLiteral("Chen Wei"));
    EXPECT_EQ(kept().size(), 1u) << "opening keeps no second record";
    EXPECT_TRUE(dialogs.boxes.empty());

    // Home puts the result out of sight: its lines go, and Vehicle… edits nothing unseen.
    form->btnHome->click();
    EXPECT_TRUE(lines->isHidden());
    bool dialogOpened = false;
    dialogs.onModal = [&](QDialog&) { dialogOpened = true; };
    form->btnVehicle->click();
    dialogs.onModal = nullptr;
    EXPECT_FALSE(dialogOpened);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("There is no measurement on screen. Read a "
                                                    "result or open a record first."));
}

// A text the records cannot keep whole is refused where it is typed, never cut later.
TEST_F(RecordsTest, VehicleDetailsThatCannotBeKeptWholeAreRefusedWhereTyped) {
    openStore();
    receive(kPetrolReply);
    const auto tryDetails = [&](const std::function<void(VehicleDialog&)>& fill) {
        QString problem;
        bool accepted = false;
        dialogs.onModal = [&](QDialog& d) {
            auto& v = dynamic_cast<VehicleDialog&>(d);
            fill(v);
            v.accept();
            accepted = v.result() == QDialog::Accepted;
            problem = v.problemLabel->isHidden() ? QString() : v.problemLabel->text();
        };
        form->btnVehicle->click();
        dialogs.onModal = nullptr;
        return std::pair{accepted, problem};
    };
    const auto [tooLong, why] =
        tryDetails([](VehicleDialog& v) { v.plate->setText(QString(21, QLatin1Char('P'))); });
    EXPECT_FALSE(tooLong);
    EXPECT_TRUE(why.startsWith(QStringLiteral("Registration plate: at most 20 characters can be "
                                              "kept; this has 21.")))
        << why.toStdString();
    const auto [withNul, nulWhy] = tryDetails([](VehicleDialog& v) {
        v.customer->setText(QStringLiteral("Ann") + QChar(u'\0') + QStringLiteral("Lee"));
    });
    EXPECT_FALSE(withNul);
    EXPECT_TRUE(nulWhy.startsWith(QStringLiteral("Customer: holds a control character")));
    EXPECT_FALSE(tryDetails([](VehicleDialog& v) {
                     v.notes->setPlainText(QString(4001, QLatin1Char('n')));
                 }).first);
    EXPECT_EQ(kept()[0].vehicle, records::VehicleDetails{}) << "nothing refused was kept";
    // Twenty characters outside the Basic Multilingual Plane are twenty, and lines are fine.
    QString emoji;
    for (int i = 0; i < 20; ++i) {
        emoji += QString::fromUcs4(U"\U0001F697", 1);
    }
    EXPECT_TRUE(tryDetails([&](VehicleDialog& v) {
                    v.plate->setText(emoji);
                    v.notes->setPlainText(QStringLiteral("one\ntwo"));
                }).first);
    EXPECT_EQ(kept()[0].vehicle.plate, emoji);

    // A longer text stored by another program is shown whole and not written back cut.
    {
        test::RawDatabase raw(storePath());
        raw.exec(QStringLiteral("UPDATE records SET notes = '%1'").arg(QString(5000, 'x')));
    }
    RecordsWindow& w = recordsWindow();
    choose(w, {kept()[0].id});
    w.openButton->click();
    QString shown;
    const auto [cut, cutWhy] =
        tryDetails([&](VehicleDialog& v) { shown = v.notes->toPlainText(); });
    EXPECT_EQ(shown.size(), 5000);
    EXPECT_FALSE(cut);
    EXPECT_TRUE(cutWhy.startsWith(QStringLiteral("Notes: at most 4000 characters")));
    EXPECT_EQ(form->records().store().load(kept()[0].id)->vehicle.notes.size(), 5000);
}

// A workshop trying the program must never take a virtual result for a real one.
TEST_F(RecordsTest, ResultsOfTheVirtualTesterAreMarkedInTheListAndOnTheReport) {
    openStore();
    receive(kPetrolReply);
    form->records().setVirtualTester(true);
    receive(kPetrolReply);
    const std::vector<records::RecordSummary> rows = kept(); // newest first
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].virtualTester);
    EXPECT_FALSE(rows[1].virtualTester);
    const QString measured = form->RepProject1->param(QStringLiteral("MeasuredAt"));
    EXPECT_TRUE(measured.endsWith(QStringLiteral(" on the virtual tester")))
        << measured.toStdString();
    EXPECT_TRUE(reportText(QStringLiteral("virtual.pdf")).simplified().contains(measured));

    const records::RecordsModel& model = recordsWindow().model();
    EXPECT_EQ(model.headerData(records::RecordsModel::Tester, Qt::Horizontal).toString(),
              QStringLiteral("Tester"));
    EXPECT_EQ(model.index(0, records::RecordsModel::Tester).data().toString(),
              QStringLiteral("Virtual"));
    EXPECT_EQ(model.index(1, records::RecordsModel::Tester).data().toString(), QString());
    // Seconds tell apart two results of the same minute.
    EXPECT_EQ(model.index(0, records::RecordsModel::Date).data().toString().size(),
              QStringLiteral("2026-12-09 12:00:00").size());
}

TEST_F(RecordsTest, ACurveIsComparedWithAKeptCurveOfItsOwnFunctionOnly) {
    openStore();
    oilCurve({400, 410, 420});
    oilCurve({500, 510, 520, 530});
    receive(kPetrolReply);
    const std::vector<records::RecordSummary> rows = kept(); // newest first
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].second, 53.0) << "the last sample, as plotted";

    RecordsWindow& w = recordsWindow();
    w.search->setText(QStringLiteral("oil"));
    EXPECT_EQ(w.model().rowCount(), 2);
    EXPECT_EQ(w.status->text(), QStringLiteral("2 of 3 records"));
    choose(w, {rows[1].id});
    w.openButton->click(); // the second curve on screen
    EXPECT_EQ(form->Chart2->Series2.Y, (std::vector<double>{50.0, 51.0, 52.0, 53.0}));
    EXPECT_FALSE(form->Chart2->isHidden());
    EXPECT_EQ(form->Chart2->titleLines(), QStringList{QStringLiteral("Oil Pressure (Bar)")});

    choose(w, {rows[2].id});
    w.compareButton->click();
    EXPECT_EQ(form->Chart2->Comparison.Y, (std::vector<double>{40.0, 41.0, 42.0}));
    EXPECT_EQ(form->Chart2->Series2.Count(), 4) << "the curve on screen stays";
    EXPECT_EQ(form->Chart2->currentView().xMax, 3.0);
    // The report says what the grey curve is.
    const QString caption = QStringLiteral("Grey curve: measured ") +
                            records::RecordsModel::dateText(rows[2].measuredAt);
    EXPECT_EQ(form->RepProject2->param(QStringLiteral("Comparison")), caption);
    EXPECT_TRUE(reportText(QStringLiteral("compared.pdf")).contains(caption));

    w.search->clear();
    choose(w, {rows[0].id}); // the compression
    w.compareButton->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(
        QStringLiteral("Only a curve of the same test function can be compared.")));
    EXPECT_EQ(form->Chart2->Comparison.Count(), 3);

    // A new read starts from an empty chart: the grey curve goes with the rest, and its
    // caption with the new result.
    read(6);
    EXPECT_TRUE(form->Chart2->Comparison.isEmpty());
    oilCurve({600, 610});
    EXPECT_EQ(form->RepProject2->param(QStringLiteral("Comparison")), QString());
}

TEST_F(RecordsTest, DeleteAsksFirstAndExportWritesTheChosenRecords) {
    openStore();
    receive(kPetrolReply);
    oilCurve({400, 410});
    const std::vector<records::RecordSummary> rows = kept();
    RecordsWindow& w = recordsWindow();
    choose(w, {rows[0].id, rows[1].id});
    EXPECT_FALSE(w.openButton->isEnabled()) << "open one at a time";

    const QString csv = data.filePath(QStringLiteral("export.csv"));
    dialogs.saveAnswers.push_back({csv, 0});
    w.exportButton->click();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 1 + 6 + 2);

    QString asked;
    dialogs.onModal = [&](QDialog& d) {
        auto& question = dynamic_cast<QMessageBox&>(d);
        asked = question.text();
        question.button(QMessageBox::No)->click();
    };
    w.deleteButton->click();
    EXPECT_EQ(kept().size(), 2u);
    // Each record named as the list shows it.
    const auto& m = w.model();
    EXPECT_EQ(asked, QStringLiteral("Delete these 2 records?\n%1, Oil pressure\n%2, Petrol "
                                    "Compression\nThis cannot be undone.")
                         .arg(m.dateText(rows[0].measuredAt), m.dateText(rows[1].measuredAt)))
        << asked.toStdString();
    answerQuestion(QMessageBox::Yes);
    w.deleteButton->click();
    EXPECT_TRUE(kept().empty());
    EXPECT_EQ(w.model().rowCount(), 0);
    // The curve is still on screen, no longer kept: its vehicle goes only on the report.
    enterVehicle([](VehicleDialog& v) { v.plate->setText(QStringLiteral("GONE-1")); });
    EXPECT_EQ(form->RepProject2->param(QStringLiteral("Plate")), QStringLiteral("Plate: GONE-1"));
    EXPECT_TRUE(kept().empty());
}

TEST_F(RecordsTest, AStoreThatCannotBeUsedNeverKeepsAResultFromShowing) {
    // The records folder cannot be made: a file stands where it would be.
    QFile blocker(data.filePath(QStringLiteral("orvo-kr90x")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    openStore();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(
        QStringLiteral("The workshop records cannot be used: the records database cannot be "
                       "opened")));

    receive(kPetrolReply);
    oilCurve({400, 410});
    EXPECT_FALSE(form->Chart2->isHidden());
    EXPECT_TRUE(form->btnReport->isEnabled());
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "told once";
    enterVehicle([](VehicleDialog& v) { v.plate->setText(QStringLiteral("AB-1")); });
    EXPECT_EQ(form->RepProject2->param(QStringLiteral("Plate")), QStringLiteral("Plate: AB-1"));
    form->btnRecords->click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_TRUE(
        dialogs.boxes[1].text.startsWith(QStringLiteral("The workshop records cannot be opened")));
}

TEST_F(RecordsTest, ADamagedStoreIsToldAtTheStartAndResultsStillShow) {
    test::writeNonDatabase(storePath());
    openStore();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("is damaged")));

    receive(kPetrolReply);
    oilCurve({400, 410});
    EXPECT_FALSE(form->Chart2->isHidden());
    EXPECT_EQ(form->Chart2->Series2.Count(), 2);
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "told once";
    EXPECT_FALSE(reportText(QStringLiteral("oil.pdf")).isEmpty());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// Results the records cannot take wait in the outbox beside them: no box per result, one
// log line for the change, the count in the records window, and all kept once it is free.
TEST_F(RecordsTest, AStoreThatCannotBeWrittenKeepsTheResultsWaitingAndStillListed) {
    openStore();
    receive(kPetrolReply);
    form.reset(); // the file closed, its log folded in
    const test::ImmutableFile immutable(storePath());
    if (!immutable.made()) {
        GTEST_SKIP() << "chattr +i is not allowed here";
    }
    form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
    form->show();
    form->records().setKeeperTiming({5, 1, 50});
    openStore();
    receive(kPetrolReply);
    receive(kPetrolReply);
    EXPECT_FALSE(form->chart1->isHidden());
    EXPECT_TRUE(form->btnReport->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return form->records().waitingResults() == 2; }, 10000));
    EXPECT_TRUE(dialogs.boxes.empty());
    const QStringList waiting = form->log().lines().filter(QStringLiteral("Workshop records"));
    ASSERT_EQ(waiting.size(), 1) << waiting.join('\n').toStdString();
    EXPECT_TRUE(waiting[0].contains(QStringLiteral("cannot be written to")))
        << waiting[0].toStdString();
    RecordsWindow& w = recordsWindow();
    EXPECT_EQ(w.model().rowCount(), 1) << "what was kept before is still there";
    EXPECT_EQ(w.status->text(), QStringLiteral("1 of 1 records; 2 results wait to be kept"));
}

TEST_F(RecordsTest, ResultsTakenWhileAnotherProgramHoldsTheRecordsAreAllKept) {
    form->records().setKeeperTiming({5, 1, 20});
    openStore();
    {
        test::RawDatabase other(storePath());
        other.exec(QStringLiteral("BEGIN IMMEDIATE"));
        receive(kPetrolReply);
        oilCurve({400, 410});
        receive(kPetrolReply);
        EXPECT_FALSE(form->chart1->isHidden());
        ASSERT_TRUE(test::waitFor([&] { return form->records().waitingResults() == 3; }, 10000));
        // The vehicle typed meanwhile goes with the result that waits.
        enterVehicle([](VehicleDialog& v) { v.plate->setText(QStringLiteral("WAIT-3")); });
        other.exec(QStringLiteral("ROLLBACK"));
    }
    ASSERT_TRUE(test::waitFor(
        [&] { return kept().size() == 3 && kept()[0].vehicle.plate == QStringLiteral("WAIT-3"); },
        10000));
    ASSERT_TRUE(test::waitFor([&] { return form->records().waitingResults() == 0; }, 10000));
    const std::vector<records::RecordSummary> rows = kept(); // newest first
    EXPECT_EQ(rows[1].functionName, QStringLiteral("Oil pressure"));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(form->log().lines().filter(QStringLiteral("Workshop records")),
              (QStringList{QStringLiteral("Workshop records: results wait in the outbox (the "
                                          "records database is in use by another program "
                                          "(database is locked Unable to fetch row))"),
                           QStringLiteral("Workshop records: every waiting result is kept")}));
    // The result on screen knows its record now: its details go to it directly.
    ASSERT_TRUE(form->records().currentRecord());
    EXPECT_EQ(*form->records().currentRecord(), rows[0].id);
}

TEST_F(RecordsTest, ANewerRecordsFileIsOpenedReadOnlyWithAMessage) {
    openStore();
    receive(kPetrolReply);
    form.reset();
    {
        test::RawDatabase raw(storePath());
        raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(records::kSchemaVersion + 1));
    }
    form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
    openStore();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("newer version")));
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("read-only")));

    receive(kPetrolReply);
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "told at the start already";
    RecordsWindow& w = recordsWindow();
    ASSERT_EQ(w.model().rowCount(), 1);
    choose(w, {kept()[0].id});
    EXPECT_TRUE(w.openButton->isEnabled());
    EXPECT_FALSE(w.deleteButton->isEnabled());
}

// A read the firmware refuses leaves the compression result on screen, and with it its
// lines and its Vehicle…; a read that goes out takes them away.
TEST_F(RecordsTest, TheResultsLinesGoOnlyWithTheResult) {
    receive(kPetrolReply);
    QLabel* lines = form->records().resultLabel();
    EXPECT_FALSE(lines->isHidden());
    state.DeviceFirmwareVersion = 11;
    read(3); // turbo: refused
    EXPECT_FALSE(lines->isHidden());
    enterVehicle([](VehicleDialog& v) { v.plate->setText(QStringLiteral("AB-1")); });
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("Plate")), QStringLiteral("Plate: AB-1"));
    EXPECT_EQ(dialogs.boxes.size(), 1u); // the refusal only
    read(0);
    EXPECT_TRUE(lines->isHidden());
}
