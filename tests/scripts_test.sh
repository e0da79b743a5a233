#!/bin/bash
# Our scripts never end a Wine session they did not start. Run by test.sh
# inside its own session (WINEPREFIX and DISPLAY set): a Taplore is started
# in that session, then ./run.sh runs headless asking for the same prefix.
# run.sh must take another prefix, save a picture of its own main window, and
# leave the first Taplore and its wineserver running.
set -u
cd "$(dirname "$0")/.."
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh

fail() {
    echo "scripts_test: FAILED: $*"
    status=1
}
status=0
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || { echo "scripts_test: needs test.sh's Wine session"; exit 1; }

work=$(mktemp -d)
printf '<?xml version="1.0" ?>\r\n<config><language>0</language>\r\n</config>\r\n' >"$work/Taplore.ini"
screen_before="$work/before.png"
import -window root "$screen_before"
exe="$PWD/build/windows/Taplore.exe"
(cd "$work" && exec wine64 "$exe" 2>/dev/null) &
first=$!
# Up once the screen has changed and stays the same for two looks.
shown=0
previous=""
for _ in $(seq 1 120); do
    sleep 0.5
    kill -0 "$first" 2>/dev/null || break
    import -window root "$work/now.png"
    if [ "$(compare -metric AE "$work/now.png" "$screen_before" null: 2>&1)" != "0" ]; then
        if [ -n "$previous" ] && [ "$(compare -metric AE "$work/now.png" "$previous" null: 2>&1)" = "0" ]; then
            shown=1
            break
        fi
        cp "$work/now.png" "$work/previous.png"
        previous="$work/previous.png"
    fi
done
[ "$shown" = 1 ] || fail "the first Taplore did not come up"

rm -f build/run.png
log="$work/run.log"
if ! env -u DISPLAY TAPLORE_WINEPREFIX="$WINEPREFIX" ./run.sh >"$log" 2>&1; then
    fail "headless ./run.sh failed"
    cat "$log"
fi
grep -q "is in use by another session" "$log" || fail "run.sh did not notice the prefix in use"
[ -s build/run.png ] || fail "run.sh saved no picture"
# The picture is of the main window, not of the small language dialog: a
# quarter of the screen or so is window, not desktop (the corner's colour).
if [ -s build/run.png ]; then
    desktop=$(convert build/run.png -format '%[pixel:p{0,0}]' info:)
    window=$(convert build/run.png -fill black -opaque "$desktop" -fill white +opaque black \
        -format '%[fx:int(mean*1000)]' info:)
    [ "${window:-0}" -ge 100 ] || fail "run.sh's picture does not show the main window (${window:-?}/1000 of it)"
fi

kill -0 "$first" 2>/dev/null || fail "run.sh ended the Taplore of another session"
taplore_wine_busy "$WINEPREFIX" || fail "run.sh ended the wineserver of another session"
import -window root "$work/after.png"
[ "$(compare -metric AE "$work/after.png" "$work/now.png" null: 2>&1)" = "0" ] ||
    fail "the other session's screen changed while run.sh ran"

kill "$first" 2>/dev/null
wait "$first" 2>/dev/null
rm -rf "$work"
[ "$status" = 0 ] && echo "scripts_test: passed"
exit "$status"
