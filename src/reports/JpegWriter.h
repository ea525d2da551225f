#pragma once

#include <QByteArray>
#include <QImage>

namespace kr90x::reports {

// The image as a baseline JPEG of the given quality, transparent parts on white; empty
// when libjpeg fails.
QByteArray encodeJpeg(const QImage& image, int quality = 90);

} // namespace kr90x::reports
