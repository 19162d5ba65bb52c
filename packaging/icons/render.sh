#!/usr/bin/env bash
# Renders the PNG sizes of the icon from lirrevo.svg (needs librsvg2-bin's
# rsvg-convert). The PNGs are committed, so a build needs no renderer; run
# this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 128 256; do
  rsvg-convert --width "$size" --height "$size" lirrevo.svg --output "lirrevo-$size.png"
done
