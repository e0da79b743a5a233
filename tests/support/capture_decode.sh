#!/bin/sh
# capture_decode.sh WINE_RUN PROBE_EXE
# Runs capture_probe.exe under Wine into a fresh folder, then decodes every
# screenshot it left with ImageMagick: one file per format named
# SCREENSHOT_<14 digits>.<bmp|jpg|gif|png>, no intermediate BMP besides the
# Bitmap one, the whole desktop's size, and the probe's colours where it drew
# them (JPEG within 40 per channel, the others exact). ImageMagick names the
# BMP with a 40-byte info header BMP3.
set -eu
wine_run="$1"
probe="$2"
dir=$(mktemp -d /tmp/taplore_capture.XXXXXX)
trap 'rm -rf "$dir"' EXIT
winedir="Z:$(printf '%s' "$dir" | sed 's|/|\\|g')"
"$wine_run" "$probe" "$winedir" >"$dir.out" </dev/null || { echo "probe failed: $?"; exit 1; }
set -- $(head -n 1 "$dir.out" | tr -d '\r')
width=$1 height=$2
fail=0
count=$(ls "$dir" | wc -l)
[ "$count" = 4 ] || { echo "expected 4 files, found: $(ls "$dir")"; fail=1; }
for ext in bmp jpg gif png; do
    files=$(ls "$dir" | grep -E "^SCREENSHOT_[0-9]{14}\.$ext\$" || true)
    [ "$(printf '%s\n' "$files" | grep -c .)" = 1 ] || { echo "no single .$ext file"; fail=1; continue; }
    f="$dir/$files"
    case $ext in bmp) want=BMP3 ;; jpg) want=JPEG ;; gif) want=GIF ;; png) want=PNG ;; esac
    got=$(identify -format '%m %w %h' "$f" 2>/dev/null || echo broken)
    [ "$got" = "$want $width $height" ] || { echo "$files: '$got', expected '$want $width $height'"; fail=1; continue; }
    tolerance=0
    [ "$ext" = jpg ] && tolerance=40
    tail -n +2 "$dir.out" | tr -d '\r' | while read -r x y rgb; do
        pixel=$(convert "$f" -crop "1x1+$x+$y" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1)
        for i in 0 1 2; do
            a=$(printf '%d' "0x$(printf '%s' "$rgb" | cut -c $((2 * i + 1))-$((2 * i + 2)))")
            b=$(printf '%d' "0x$(printf '%s' "$pixel" | cut -c $((2 * i + 2))-$((2 * i + 3)))")
            d=$((a - b))
            [ $d -lt 0 ] && d=$((-d))
            if [ $d -gt $tolerance ]; then
                echo "$files at $x,$y: $pixel, expected #$rgb"
                exit 1
            fi
        done
    done || fail=1
done
rm -f "$dir.out"
[ $fail = 0 ] && echo "all screenshots decode as expected"
exit $fail
