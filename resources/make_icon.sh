#!/bin/sh
# Regenerates taplore.ico (program icon 10011): a blue tile with a white
# pointer arrow and a red "record" dot, drawn once at 256 px and reduced to
# every size Windows asks for. Needs ImageMagick; the result is committed so
# that builds do not depend on it.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
    -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 44,44' \
    -fill '#3b82d0' -draw 'roundrectangle 8,8 247,150 44,44' \
    -fill '#1f5fa8' -draw 'rectangle 8,110 247,150' \
    -stroke '#0b2c55' -strokewidth 8 -fill white \
    -draw 'polygon 62,38 62,196 100,160 128,222 156,210 128,148 180,148' \
    -stroke white -strokewidth 10 -fill '#e53935' -draw 'circle 188,188 188,226' \
    -depth 8 "$tmp/icon-256.png"
for s in 16 20 24 32 40 48 64; do
    convert "$tmp/icon-256.png" -filter Lanczos -resize ${s}x${s} "$tmp/icon-$s.png"
done
convert "$tmp/icon-16.png" "$tmp/icon-20.png" "$tmp/icon-24.png" "$tmp/icon-32.png" \
    "$tmp/icon-40.png" "$tmp/icon-48.png" "$tmp/icon-64.png" \
    "$tmp/icon-256.png" taplore.ico
