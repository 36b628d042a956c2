#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the icon's PNG sizes from the SVG sources (rsvg-convert, Debian
# package librsvg2-bin). The PNGs are committed, so building needs neither.
# 16 px has its own drawing on the pixel grid; the rest scale vandrel.svg.
set -eu
cd "$(dirname "$0")"
rsvg-convert -w 16 -h 16 vandrel-16.svg -o vandrel-16.png
for size in 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" vandrel.svg -o "vandrel-$size.png"
done
