// The samples' blob, the CSV a spreadsheet reads, the spread and the records list's search.
#include "RecordsFixture.h"

#include "records/CsvExport.h"
#include "records/RecordsModel.h"
#include "records/SampleBlob.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <cmath>
#include <limits>

using namespace kr90x;
using namespace kr90x::records;
using namespace kr90x::test;

TEST(SampleBlob, KeepsEveryValueInTheNarrowestWholeNumbers) {
    const std::vector<double> tenths{0.0, 40.1, -99.9, 999.9, 3276.7};
    const QByteArray blob = encodeSamples(tenths, 1);
    EXPECT_EQ(blob.size(), 12 + 2 * 5) << "16 bits a sample";
    EXPECT_EQ(decodeSamples(blob), tenths);

    const std::vector<double> wide{0.0, 3276.8, -5000.5};
    const QByteArray wideBlob = encodeSamples(wide, 1);
    EXPECT_EQ(wideBlob.size(), 12 + 4 * 3) << "32 bits once one does not fit 16";
    EXPECT_EQ(decodeSamples(wideBlob), wide);

    const std::vector<double> odd{0.125, 1e300, -2.5};
    const QByteArray oddBlob = encodeSamples(odd, 1);
    EXPECT_EQ(oddBlob.size(), 12 + 8 * 3) << "doubles for what is no such whole number";
    EXPECT_EQ(decodeSamples(oddBlob), odd);

    EXPECT_EQ(decodeSamples(encodeSamples({}, 0)), std::vector<double>{});
}

TEST(SampleBlob, RefusesWhatItDidNotWrite) {
    const QByteArray good = encodeSamples(std::vector<double>{1.5, 2.5, 3.5}, 1);
    QByteArray nan = encodeSamples(std::vector<double>{0.125}, 0);
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(nan.data() + 12, &notANumber, 8);
    QByteArray huge = good;
    huge[8] = huge[9] = huge[10] = huge[11] = '\xff'; // four thousand million samples
    struct Case {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty", {}},
        {"header cut short", good.left(11)},
        {"a sample cut short", good.chopped(1)},
        {"a sample too many", good + QByteArray(2, '\0')},
        {"another magic", QByteArray("XS") + good.mid(2)},
        {"another version", good.left(2) + '\x02' + good.mid(3)},
        {"an unknown encoding", good.left(3) + '\x09' + good.mid(4)},
        {"too many decimals", good.left(4) + '\x07' + good.mid(5)},
        {"a count beyond any curve", huge},
        {"not a number", nan},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(decodeSamples(c.bytes)) << c.what;
    }
}

TEST(CompressionSpread, NamesTheCylindersMoreThanTenPercentBelowTheHighest) {
    // 11.7 is exactly 10 % below 13.0: not low; 11.6 is.
    const CompressionSpread s = compressionSpread({12.5, 13.0, 11.7, 11.6, 12.0, 0.0});
    EXPECT_EQ(s.lowest, 0.0);
    EXPECT_EQ(s.highest, 13.0);
    EXPECT_DOUBLE_EQ(*s.spreadPercent, 100.0);
    EXPECT_EQ(s.lowCylinders, (std::vector<int>{4, 6}));

    const CompressionSpread even = compressionSpread({10, 10, 10, 10, 10, 10});
    EXPECT_EQ(*even.spreadPercent, 0.0);
    EXPECT_TRUE(even.lowCylinders.empty());
    EXPECT_FALSE(compressionSpread({}).spreadPercent) << "no pressure anywhere";
}

namespace {

// The CSV as Python's csv module reads it: every row, every field.
QJsonArray readWithPython(const QByteArray& csv) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, io, json, sys\n"
                                 "text = sys.stdin.buffer.read().decode('utf-8-sig')\n"
                                 "rows = list(csv.reader(io.StringIO(text, newline=''), "
                                 "delimiter=';'))\n"
                                 "json.dump(rows, sys.stdout)\n")});
    python.write(csv);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

} // namespace

TEST(Csv, ASpreadsheetReadsEveryCylinderAndSampleWithItsRecord) {
    Measurement petrol = compressionRecord(QStringLiteral("Ğ-ÑÜ; \"7\" 😀"));
    Measurement oil = curveRecord(3);
    oil.samples = {40.1, 0.0, -12.5};
    oil.vehicle.plate = QStringLiteral("AB-123");
    oil.vehicle.vin = QStringLiteral("WVWZZZ1JZXW000001");
    oil.vehicle.makeModel = QStringLiteral("VW Golf");
    oil.vehicle.odometer = QStringLiteral("123 456 km");
    oil.vehicle.customer = QStringLiteral("\u0141ukasz Gro\u00DFmann");
    Measurement turbo = curveRecord(2);
    turbo.functionName = QStringLiteral("Turbo pressure");
    turbo.unit = QStringLiteral("mbar");
    turbo.decimals = 0;
    // The second sample only a damaged record could hold: written whole all the same.
    turbo.samples = {1200, std::ldexp(1.0, 240)};
    const std::vector<Measurement> records{petrol, oil, turbo};
    const QByteArray csv = recordsCsv(records, QLatin1Char(','));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF")) << "the mark spreadsheets take UTF-8 by";

    const QJsonArray rows = readWithPython(csv);
    ASSERT_EQ(rows.size(), 1 + 6 + 3 + 2);
    const auto row = [&](int i) {
        QStringList fields;
        for (const QJsonValue& v : rows[i].toArray()) {
            fields << v.toString();
        }
        return fields;
    };
    EXPECT_EQ(row(0), (QStringList{"Date", "Test function", "Plate", "Cylinder or sample", "Value",
                                   "Unit", "VIN", "Make and model", "Odometer", "Customer"}));
    const QString petrolDate =
        petrol.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(row(1), (QStringList{petrolDate, "Petrol Compression", petrol.vehicle.plate, "1",
                                   "12,5", "bar", "", "", "", ""}));
    EXPECT_EQ(row(3)[4], QStringLiteral("9,8"));
    EXPECT_EQ(row(6), (QStringList{petrolDate, "Petrol Compression", petrol.vehicle.plate, "6",
                                   "0,0", "bar", "", "", "", ""}));
    EXPECT_EQ(row(7)[3], QStringLiteral("1")) << "samples numbered as the tester numbers them";
    EXPECT_EQ(row(7)[4], QStringLiteral("40,1"));
    EXPECT_EQ(row(9)[4], QStringLiteral("-12,5"));
    EXPECT_EQ(row(9)[2], QStringLiteral("AB-123"));
    EXPECT_EQ(row(9).mid(6), (QStringList{"WVWZZZ1JZXW000001", "VW Golf", "123 456 km",
                                          "\u0141ukasz Gro\u00DFmann"}));
    EXPECT_EQ(
        row(10),
        (QStringList{turbo.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     "Turbo pressure", "", "1", "1200", "mbar", "", "", "", ""}));
    EXPECT_EQ(row(11)[4], QStringLiteral("1766847064778384329583297500742918515827483896875618958"
                                         "121606201292619776"));
}

// A text a spreadsheet would run as a formula stays text; numbers, negative ones too, stay
// numbers.
TEST(Csv, TextsThatLookLikeFormulasStayTextsAndNumbersStayNumbers) {
    Measurement oil = curveRecord(2);
    oil.samples = {-12.5, 3.0};
    oil.vehicle.plate = QStringLiteral("=cmd|' /C calc'!A0");
    oil.vehicle.vin = QStringLiteral("+1");
    oil.vehicle.makeModel = QStringLiteral("-2");
    oil.vehicle.odometer = QStringLiteral("@SUM(A1)");
    oil.vehicle.customer = QStringLiteral("\tTab");
    const QJsonArray rows = readWithPython(recordsCsv({&oil, 1}, QLatin1Char(',')));
    ASSERT_EQ(rows.size(), 3);
    const QJsonArray first = rows[1].toArray();
    EXPECT_EQ(first[2].toString(), QStringLiteral("'=cmd|' /C calc'!A0"));
    EXPECT_EQ(first[4].toString(), QStringLiteral("-12,5"));
    EXPECT_EQ(first[6].toString(), QStringLiteral("'+1"));
    EXPECT_EQ(first[7].toString(), QStringLiteral("'-2"));
    EXPECT_EQ(first[8].toString(), QStringLiteral("'@SUM(A1)"));
    EXPECT_EQ(first[9].toString(), QStringLiteral("'\tTab"));
}

// However long a record's texts and however many its samples, a few rows at a time are
// held: never the record's all (which asked for 12.9 GB of one crafted record).
TEST(Csv, ARecordIsWrittenAFewRowsAtATime) {
    Measurement m = curveRecord(2);
    m.samples.assign(2000, 1.5);
    m.vehicle.customer = QString(60000, QLatin1Char('x'));
    std::size_t calls = 0;
    qsizetype largest = 0;
    qsizetype total = 0;
    const std::optional<std::size_t> rows =
        writeRecordCsv(m, QLatin1Char(','), [&](const QByteArray& part) {
            ++calls;
            largest = std::max(largest, part.size());
            total += part.size();
            return true;
        });
    ASSERT_EQ(rows, 2000u);
    const qsizetype row = total / 2000;
    EXPECT_GT(row, 60000);
    EXPECT_LE(largest, 64 * 1024 + row);
    EXPECT_GE(calls, 2000u / 2);
    // A write that fails stops the record there.
    std::size_t tries = 0;
    EXPECT_FALSE(writeRecordCsv(m, QLatin1Char(','), [&](const QByteArray&) {
        ++tries;
        return false;
    }));
    EXPECT_EQ(tries, 1u);
}
