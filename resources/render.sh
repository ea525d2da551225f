#!/usr/bin/env bash
# Draws the program's pictures from their SVG sources. The PNGs are kept in the
# repository, so a build needs none of this; run it after changing a source.
# Needs rsvg-convert (librsvg2-bin) and the Liberation fonts (fonts-liberation2).
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert -w 64 -h 64 icon.svg -o icon.png
# The launcher icon in the other sizes of the hicolor theme (64 is icon.png itself).
mkdir -p icons
for size in 16 24 32 48 128 256; do
    rsvg-convert -w "$size" -h "$size" icon.svg -o "icons/orvo-kr90x-$size.png"
done
rsvg-convert -w 450 -h 110 logo.svg -o logo.png
rsvg-convert -w 709 -h 173 report_logo.svg -o report_logo.png
sed 's/@COLOR@/#1f5fbf/g' usb.svg.in | rsvg-convert -w 100 -h 34 -o usb_logo.png
sed 's/@COLOR@/#8c8c8c/g' usb.svg.in | rsvg-convert -w 100 -h 34 -o usb_logo_bn.png
