#pragma once

#include "CliError.h"
#include "records/Measurement.h"

#include <QByteArray>

namespace kr90x::cli {

// The report the window prints for a result, as the PDF its preview saves: the same
// template, parameters, chart (drawn at the window's chart size) and renderer. Needs a
// QApplication, since the charts are the window's widgets, never shown.
CliResult<QByteArray> reportPdf(const records::Measurement& m);

} // namespace kr90x::cli
