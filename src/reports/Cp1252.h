#pragma once

#include <QByteArray>
#include <QStringView>

namespace kr90x::reports {

// Unicode to Windows-1252, the byte encoding behind PDF's WinAnsiEncoding. A character
// without a place in it becomes '?'; a surrogate pair counts as one character.
QByteArray toCp1252(QStringView text);

} // namespace kr90x::reports
