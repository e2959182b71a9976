#!/usr/bin/env bash
# Renders the program icon (a server rack on a blue tile, vyr-admin.svg) into the PNG sizes the
# desktop's icon theme and the window use. The shapes sit on an 8-pixel grid, so the small sizes
# stay crisp. Run it again only after changing the SVG; the PNGs it writes are committed.
# Needs rsvg-convert (Debian package librsvg2-bin) and ImageMagick (imagemagick).
set -euo pipefail
cd "$(dirname "$0")"

for size in 32 64 128 256; do
    rsvg-convert --width "$size" --height "$size" vyr-admin.svg |
        convert - -strip PNG32:"vyr-admin-$size.png"
done
