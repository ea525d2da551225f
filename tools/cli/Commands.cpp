#include "Commands.h"

#include "CliRecords.h"
#include "InterruptSignal.h"
#include "OutputFile.h"
#include "RecordsListOutput.h"
#include "ReportPdf.h"
#include "ResultOutput.h"
#include "TesterSession.h"
#include "core/Texts.h"
#include "measure/TestFunctions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace kr90x::cli {
namespace {

// A line on standard error that follows a long transfer, only where somebody watches it.
class TerminalProgress {
public:
    explicit TerminalProgress(QString what)
        : what_(std::move(what)), shown_(::isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() {
        if (drawn_) {
            std::fputs("\r\033[K", stderr);
        }
    }
    void operator()(std::size_t done, std::size_t total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
        if (!shown_ || percent == percent_) {
            return;
        }
        percent_ = percent;
        drawn_ = true;
        std::fprintf(stderr, "\r%s: %3d %% (%zu of %zu)", qPrintable(what_), percent, done, total);
        std::fflush(stderr);
    }

private:
    QString what_;
    bool shown_;
    bool drawn_ = false;
    int percent_ = -1;
};

// A result just read, with what is known around it now, as the window keeps it.
records::Measurement measured(const Reading& r, const Invocation& inv) {
    const TestFunction& f = *testFunction(r.function);
    records::Measurement m;
    m.measuredAt = r.measuredAt;
    m.function = r.function;
    m.functionName = QString::fromLatin1(f.itemText);
    m.unit = QString::fromLatin1(f.unit);
    m.decimals = f.decimals;
    if (r.compression) {
        m.cylinders = r.compression->bar;
    } else if (r.curve) {
        m.samples = r.curve->values;
    }
    m.firmwareVersion = r.firmware;
    m.programVersion = QString::number(kProgramVersion, 'f', 2);
    m.vehicle = inv.vehicle;
    m.virtualTester = inv.virtualTester.has_value();
    m.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m;
}

QByteArray devicesOutput(const std::vector<TesterInfo>& testers, Format format) {
    if (format == Format::Json) {
        QJsonArray list;
        for (const TesterInfo& t : testers) {
            list.append(QJsonObject{
                {QStringLiteral("node"), t.node},
                {QStringLiteral("serial"),
                 t.serial.isEmpty() ? QJsonValue() : QJsonValue(t.serial)},
                {QStringLiteral("firmware"), t.firmware ? QJsonValue(*t.firmware) : QJsonValue()},
                {QStringLiteral("access"), t.access}});
        }
        return QJsonDocument(QJsonObject{{QStringLiteral("schema"), kJsonSchema},
                                         {QStringLiteral("testers"), list}})
            .toJson(QJsonDocument::Indented);
    }
    const QChar separator = format == Format::Csv ? QLatin1Char(';') : QLatin1Char('\t');
    QStringList lines{
        QStringList{QStringLiteral("Device"), QStringLiteral("Serial"), QStringLiteral("Firmware")}
            .join(separator)};
    for (const TesterInfo& t : testers) {
        lines << QStringList{t.node, t.serial,
                             t.firmware ? QString::number(*t.firmware)
                                        : (format == Format::Csv ? QString()
                                                                 : QStringLiteral("(no access)"))}
                     .join(separator);
    }
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

} // namespace

Commands::Commands(Invocation invocation) : inv_(std::move(invocation)) {}

Commands::~Commands() = default;

TesterSession& Commands::session() {
    if (!session_) {
        session_ = std::make_unique<TesterSession>(
            TesterSession::Settings{inv_.virtualTester, inv_.device, inv_.timeoutMs});
    }
    return *session_;
}

void Commands::interrupt() {
    if (session_) {
        session_->interrupt();
    }
}

CliResult<Done> Commands::run() {
    CliResult<Done> done = command();
    if (CliResult<Done> signalled = checkInterrupt(); !done && !signalled) {
        // Whatever stopped the command after the signal (a wait for the records given
        // up, say) ends it as the signal does; the tester's download, cut by it, says
        // how far it came.
        CliError e = done.error().exit == Exit::Interrupted ? done.error() : signalled.error();
        e.exit = signalled.error().exit;
        return fail(std::move(e));
    }
    return done;
}

CliResult<Done> Commands::command() {
    switch (inv_.command) {
    case Command::Devices:
        return devices();
    case Command::Read:
        return read();
    case Command::Report:
        return report();
    case Command::RecordsList:
        return recordsList();
    case Command::RecordsShow:
        return recordsShow();
    case Command::RecordsExport:
        return recordsExport();
    case Command::Eeprom:
        return eeprom();
    case Command::Help:
    case Command::Version:
        break;
    }
    return Done{};
}

CliResult<Done> Commands::devices() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.output);
    if (!out) {
        return fail(out.error());
    }
    CliResult<std::vector<TesterInfo>> testers = session().survey();
    if (!testers) {
        return fail(testers.error());
    }
    if (testers->empty()) {
        return cliFail(Exit::NoTester,
                       QStringLiteral("no KR90X tester found: plug it in and switch it on"));
    }
    if (CliResult<Done> w = (*out)->write(devicesOutput(*testers, inv_.format)); !w) {
        return w;
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    return (*out)->commit();
}

CliResult<Done> Commands::read() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.output);
    if (!out) {
        return fail(out.error());
    }
    if (CliResult<TesterInfo> t = session().connect(); !t) {
        return fail(t.error());
    }
    TerminalProgress progress(
        QStringLiteral("reading %1").arg(QString::fromLatin1(testFunction(inv_.function)->name)));
    CliResult<Reading> reading = session().read(inv_.function, std::ref(progress));
    if (!reading) {
        return fail(reading.error());
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i; // the result came whole, but after Ctrl+C: neither written nor kept
    }
    const records::Measurement m = measured(*reading, inv_);
    Keeping keeping;
    std::optional<CliError> keepError;
    if (!inv_.noRecord) {
        CliResult<Keeping> kept = keepResult(m);
        if (kept) {
            keeping = *kept;
        } else {
            keepError = kept.error(); // the result is written all the same, and not lost
        }
    }
    // Kept while the records were waited for, perhaps, but not written when interrupted.
    return deliver(**out, resultOutput(m, keeping, inv_.format), keepError);
}

// The output in place, unless a signal came meanwhile; then the keeping's failure, if any:
// a result is never lost to it.
CliResult<Done> Commands::deliver(OutputFile& out, const QByteArray& bytes,
                                  const std::optional<CliError>& keepError) {
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    if (CliResult<Done> w = out.write(bytes); !w) {
        return w;
    }
    if (CliResult<Done> c = out.commit(); !c) {
        return c;
    }
    if (keepError) {
        return fail(*keepError);
    }
    return Done{};
}

CliResult<Done> Commands::report() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.pdf);
    if (!out) {
        return fail(out.error());
    }
    records::Measurement m;
    std::optional<CliError> keepError;
    if (inv_.record) {
        CliResult<records::Measurement> loaded = loadRecord(*inv_.record);
        if (!loaded) {
            return fail(loaded.error());
        }
        m = std::move(*loaded);
        if (!testFunction(m.function)->hasReport()) {
            return cliFail(Exit::Usage,
                           QStringLiteral("record %1 is a %2 result, which has no report")
                               .arg(*inv_.record)
                               .arg(QString::fromLatin1(testFunction(m.function)->name)));
        }
    } else {
        if (CliResult<TesterInfo> t = session().connect(); !t) {
            return fail(t.error());
        }
        TerminalProgress progress(QStringLiteral("reading %1")
                                      .arg(QString::fromLatin1(testFunction(inv_.function)->name)));
        CliResult<Reading> reading = session().read(inv_.function, std::ref(progress));
        if (!reading) {
            return fail(reading.error());
        }
        if (CliResult<Done> i = checkInterrupt(); !i) {
            return i;
        }
        m = measured(*reading, inv_);
        if (!inv_.noRecord) {
            if (CliResult<Keeping> kept = keepResult(m); !kept) {
                keepError = kept.error();
            }
        }
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    CliResult<QByteArray> pdf = reportPdf(m);
    if (!pdf) {
        return fail(pdf.error());
    }
    return deliver(**out, *pdf, keepError); // the report took its time: wanted still?
}

CliResult<Done> Commands::recordsList() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.output);
    if (!out) {
        return fail(out.error());
    }
    RecordsListOutput list(inv_.format);
    if (CliResult<Done> w = (*out)->write(list.start()); !w) {
        return w;
    }
    CliResult<Done> listed =
        listRecords(inv_.search, [&](std::span<const records::RecordSummary> rows) {
            if (CliResult<Done> i = checkInterrupt(); !i) {
                return i;
            }
            return (*out)->write(list.rows(rows));
        });
    if (!listed) {
        return listed;
    }
    if (CliResult<Done> w = (*out)->write(list.end()); !w) {
        return w;
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    return (*out)->commit();
}

CliResult<Done> Commands::recordsShow() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.output);
    if (!out) {
        return fail(out.error());
    }
    CliResult<records::Measurement> m = loadRecord(*inv_.record);
    if (!m) {
        return fail(m.error());
    }
    if (CliResult<Done> w =
            (*out)->write(resultOutput(*m, {Keeping::State::Kept, inv_.record}, inv_.format));
        !w) {
        return w;
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    return (*out)->commit();
}

CliResult<Done> Commands::recordsExport() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.csv);
    if (!out) {
        return fail(out.error());
    }
    return exportRecords(inv_.ids, **out);
}

CliResult<Done> Commands::eeprom() {
    CliResult<std::unique_ptr<OutputFile>> out = OutputFile::open(inv_.output);
    if (!out) {
        return fail(out.error());
    }
    if (CliResult<TesterInfo> t = session().connect(); !t) {
        return fail(t.error());
    }
    TerminalProgress progress(QStringLiteral("reading the EEPROM"));
    CliResult<QStringList> lines = session().eeprom(std::ref(progress));
    if (!lines) {
        return fail(lines.error());
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    if (CliResult<Done> w = (*out)->write(lines->join(QLatin1Char('\n')).toUtf8() + '\n'); !w) {
        return w;
    }
    if (CliResult<Done> i = checkInterrupt(); !i) {
        return i;
    }
    return (*out)->commit();
}

} // namespace kr90x::cli
