#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace kr90x {

// INI text as the settings files and the update manifest use it: sections in
// square brackets, "key=value" lines, ";" comments; section and key names matched without
// regard to case, the first section and the first key of a name counting; values trimmed.

// The value of `key` in `section`, if both are present.
std::optional<QByteArray> iniValue(QByteArrayView text, QByteArrayView section, QByteArrayView key);
// The text with `key` of `section` set to `value`: the key's line replaced where
// iniValue would find it, else a line added after the section's heading, else the
// section added at the end. Everything else stays as it was, byte for byte.
QByteArray iniWithValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                        QByteArrayView value);
// A signed 32-bit integer, decimal or hexadecimal after "0x"/"0X", optionally signed;
// anything else, and anything out of range, is 0.
std::int32_t iniInteger(QByteArrayView value);

} // namespace kr90x
