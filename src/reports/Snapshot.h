#pragma once

#include "reports/PageDescription.h"

#include <QByteArray>
#include <QString>

namespace kr90x::reports {

// Report snapshot files (*.rps): the generated pages, kept so that the preview can show
// them again. Little-endian, versioned:
//
//   "KR90XRPS" u16 version u16 0  u32 pages
//   page:  f64 width f64 height (mm)  u32 items
//   item:  u8 kind  f64 left top width height (mm)  u8 align
//          str family  f64 points  u8 bold  u32 lines  str line...
//          f64 source width  f64 source height  u32 n  n bytes of PNG (0: none)
//   "END."
//   str:   u32 n  n bytes of UTF-8
//
// Vector pictures are kept as their raster at 300 dpi of the printed size: the file is
// read back from outside, and only a bounded raster is safe to take from there.
inline constexpr int kSnapshotVersion = 1;

QByteArray writeSnapshot(const Document& document);

// The largest snapshot file read at all: far more than anything the program writes.
inline constexpr qint64 kMaxSnapshotFileBytes = qint64(256) << 20;

// Reads a snapshot. A file that is truncated, damaged, of another format or of another
// version, or that would take too much memory once read, is refused with a message
// saying so; nothing of it is kept.
bool readSnapshot(const QByteArray& bytes, Document& document, QString* error = nullptr);
// The same from a file, refusing one above kMaxSnapshotFileBytes before reading it.
bool readSnapshotFile(const QString& fileName, Document& document, QString* error = nullptr);

} // namespace kr90x::reports
