#pragma once

#include "reports/PageDescription.h"

class QPainter;

namespace kr90x::reports {

// Draws a page with a painter whose device the page fills at `pixelsPerMm`, from the
// painter's current origin: the preview at any zoom, the printer at its resolution.
// Lines and frames are `linePixels` device pixels wide.
void paintPage(QPainter& painter, const Page& page, double pixelsPerMm,
               double linePixels = kLinePixels);

} // namespace kr90x::reports
