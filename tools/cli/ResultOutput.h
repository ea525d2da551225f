#pragma once

#include "Arguments.h"
#include "core/NumberFormat.h"
#include "records/Measurement.h"
#include "records/RecordStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>

#include <optional>

namespace kr90x::cli {

// The version of the JSON this program writes. A script can rely on every field of a
// version; a change that could break one gets a new number.
inline constexpr int kJsonSchema = 1;

// Where a result went in the workshop records.
struct Keeping {
    enum class State { Kept, Waiting, NotKept };
    State state = State::NotKept;
    std::optional<records::RecordId> id;
    bool server = false; // the records are on a server: one waiting waits on this PC
};

// The separators of the window's texts: a decimal comma, the system's thousands.
FormatSettings windowFormat();

// One result, whole, in the format asked for: the JSON of schema 1, the records' CSV, or
// the window's texts.
QByteArray resultOutput(const records::Measurement& m, const Keeping& keeping, Format format);

// The pieces of JSON that results and the records list share.
QJsonObject functionJson(int function, const QString& label);
QJsonObject vehicleJson(const records::VehicleDetails& v);
QString utcText(const QDateTime& t); // ISO 8601 in UTC, to the millisecond

} // namespace kr90x::cli
