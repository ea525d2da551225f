// The workshop records when things happen at once: a result completing while its vehicle
// details are typed, a record opened while a read waits, an export meeting records it
// cannot read, and an error escaping one of the records window's actions.
#include "RecordsWindowFixture.h"

#include "charts/PressureChart.h"

#include <QFile>

using namespace kr90x;
using test::kPetrolReply;
using test::RecordsTest;

TEST_F(RecordsTest, VehicleDetailsGoToTheResultTheyWereTypedForWhenANewOneCameMeanwhile) {
    openStore();
    receive(kPetrolReply);
    const records::RecordId typedFor = kept()[0].id;
    enterVehicle([this](VehicleDialog& v) {
        v.plate->setText(QStringLiteral("FIRST-1"));
        receive(QStringLiteral("KR90X_COMG|0100|0100|0100|0100|0100|0100"));
    });
    const std::vector<records::RecordSummary> rows = kept();
    ASSERT_EQ(rows.size(), 2u);
    for (const records::RecordSummary& r : rows) {
        EXPECT_EQ(r.vehicle.plate, r.id == typedFor ? QStringLiteral("FIRST-1") : QString());
    }
    EXPECT_EQ(form->RepProject1->param(QStringLiteral("Plate")), QString())
        << "the report is of the new result";
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(RecordsTest, ARecordIsNotOpenedWhileAReadWaitsForItsFirstReply) {
    openStore();
    oilCurve({400, 410});
    RecordsWindow& w = recordsWindow();
    choose(w, {kept()[0].id});
    read(6);
    w.openButton->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(QStringLiteral("A read is in progress")));
    receive(QStringLiteral("KR90X_GAMX|%1|").arg(3, 5));
    receive(sample("KR90X_GAVA", 1, 500));
    receive(sample("KR90X_GAVA", 2, 510));
    EXPECT_EQ(form->Chart2->Series2.Y, (std::vector<double>{50.0, 51.0})) << "the new curve alone";

    w.openButton->click();
    EXPECT_EQ(form->Chart2->Series2.Y, (std::vector<double>{40.0, 41.0}));
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(RecordsTest, ExportLeavesOutUnreadableRecordsWithOneMessageAndErrorsStayMessages) {
    openStore();
    oilCurve({400, 410});
    oilCurve({420, 430});
    receive(kPetrolReply);
    const std::vector<records::RecordSummary> rows = kept(); // newest first
    ASSERT_EQ(rows.size(), 3u);
    {
        test::RawDatabase raw(storePath());
        raw.exec(QStringLiteral("UPDATE record_samples SET samples = x'00' "
                                "WHERE record_id IN (%1, %2)")
                     .arg(rows[1].id)
                     .arg(rows[2].id));
    }
    RecordsWindow& w = recordsWindow();
    choose(w, {rows[0].id, rows[1].id, rows[2].id});
    const QString csv = data.filePath(QStringLiteral("export.csv"));
    dialogs.saveAnswers.push_back({csv, 0});
    w.exportButton->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(
        QStringLiteral("export.csv written: 1 record, 6 rows.\n2 of the 3 chosen records could "
                       "not be exported")))
        << dialogs.boxes[0].text.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 1 + 6) << "the compression alone";

    choose(w, {rows[1].id, rows[2].id});
    const QString none = data.filePath(QStringLiteral("none.csv"));
    dialogs.saveAnswers.push_back({none, 0});
    w.exportButton->click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_TRUE(dialogs.boxes[1].text.startsWith(QStringLiteral("None of the chosen records")));
    EXPECT_FALSE(QFile::exists(none));

    // Memory running out in an action is an error box, and the program goes on.
    dialogs.onModal = [](QDialog&) { throw std::bad_alloc(); };
    w.deleteButton->click();
    dialogs.onModal = nullptr;
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[2].icon, MessageBox::Icon::Error);
    EXPECT_EQ(kept().size(), 3u);
}
