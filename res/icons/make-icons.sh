#!/usr/bin/env bash
# Draws the program icon (a server rack on a blue tile) with ImageMagick. The shapes sit on an
# 8-pixel grid, so the 32x32 picture is a clean box-filtered reduction of the 256x256 one.
# Run it again only to change the picture; the PNGs it writes are committed.
set -euo pipefail
cd "$(dirname "$0")"

unit() { # unit Y: one rack unit whose top edge is at Y
    local y=$1 bottom=$(($1 + 40)) led=$(($1 + 20))
    printf 'fill white roundrectangle 48,%d 208,%d 8,8 ' "$y" "$bottom"
    printf 'fill #22324a rectangle 64,%d 128,%d ' "$((y + 16))" "$((y + 23))"
    printf 'fill #2fbf5f circle 184,%d 184,%d ' "$led" "$((led + 10))"
}

convert -size 256x256 gradient:'#3a7bd5-#1c3d6e' \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 40,40' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -draw "$(unit 56)$(unit 112)$(unit 168)" \
    -strip PNG32:vyr-admin-256.png
convert vyr-admin-256.png -filter Box -resize 32x32 -strip PNG32:vyr-admin-32.png
