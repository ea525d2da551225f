#include "app/RecordsExport.h"

#include "records/CsvExport.h"
#include "reports/ReportDialogs.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace kr90x {
namespace {

// Enough reasons to see what went wrong; a whole damaged file's worth would not fit a box.
constexpr qsizetype kReasonsShown = 10;

QString reasonsText(const QStringList& reasons) {
    QString text = reasons.mid(0, kReasonsShown).join(QLatin1Char('\n'));
    if (reasons.size() > kReasonsShown) {
        text += QStringLiteral("\nand %1 more").arg(reasons.size() - kReasonsShown);
    }
    return text;
}

} // namespace

void exportRecordsCsv(reports::ReportDialogs& dialogs, QChar decimalSeparator,
                      const std::vector<records::RecordId>& ids,
                      const std::function<FetchedRecord(records::RecordId)>& fetch) {
    if (ids.empty()) {
        return;
    }
    int filter = 0;
    const QString name =
        dialogs.saveFileName(QStringLiteral("Export CSV"), {QStringLiteral("CSV files (*.csv)")},
                             filter, QStringLiteral("workshop records"));
    if (name.isEmpty()) {
        return;
    }
    QSaveFile file(name);
    const auto put = [&file](const QByteArray& bytes) { return file.write(bytes) == bytes.size(); };
    bool writing = file.open(QIODevice::WriteOnly) && put(records::csvHeader());
    QStringList unusable;
    std::size_t exported = 0;
    std::size_t rows = 0;
    for (std::size_t i = 0; writing && i < ids.size(); ++i) {
        const FetchedRecord record = fetch(ids[i]);
        if (const QString* why = std::get_if<QString>(&record)) {
            unusable << QStringLiteral("record %1: %2").arg(ids[i]).arg(*why);
            continue;
        }
        const std::optional<std::size_t> written =
            records::writeRecordCsv(std::get<records::Measurement>(record), decimalSeparator, put);
        writing = written.has_value();
        rows += written.value_or(0);
        ++exported;
    }
    // Not committed, the file is left as it was (or not made at all).
    if (!writing || (exported > 0 && !file.commit())) {
        dialogs.information(QStringLiteral("Cannot write %1: %2").arg(name, file.errorString()));
        return;
    }
    if (exported == 0) {
        dialogs.information(QStringLiteral("None of the chosen records could be exported, and "
                                           "no file was written:\n") +
                            reasonsText(unusable));
        return;
    }
    const QString done =
        QStringLiteral("%1 written: %2 %3, %4 %5.")
            .arg(QFileInfo(name).fileName())
            .arg(exported)
            .arg(exported == 1 ? QStringLiteral("record") : QStringLiteral("records"))
            .arg(rows)
            .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    if (unusable.isEmpty()) {
        dialogs.information(done);
    } else {
        dialogs.information(done +
                            QStringLiteral("\n%1 of the %2 chosen records could not be "
                                           "exported and are not in the file:\n")
                                .arg(unusable.size())
                                .arg(ids.size()) +
                            reasonsText(unusable));
    }
}

} // namespace kr90x
