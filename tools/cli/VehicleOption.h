#pragma once

#include "CliError.h"
#include "records/Measurement.h"

#include <QString>

namespace kr90x::cli {

// One --vehicle KEY=VALUE: the detail set, or a usage error naming the keys, the most
// characters the records keep of it, or a control character (which the records' server
// could not take in a statement).
CliResult<Done> setVehicleDetail(records::VehicleDetails& vehicle, const QString& assignment);

} // namespace kr90x::cli
