#!/bin/bash
# Builds Taplore for Windows and starts it under Wine.
#
# With a DISPLAY set, the program opens on that display (inside Wine's virtual
# desktop) and the script returns when it ends. Without one, it runs on a
# private Xvfb on a free display number, in English unless TAPLORE_LANGUAGE
# says otherwise, a screenshot of its main window is saved to build/run.png,
# and everything the script started is stopped again.
#
# The Wine prefix is build/wine-prefix (TAPLORE_WINEPREFIX changes it); when
# another session uses it (a Taplore started earlier, a test run), the next
# free prefix beside it is taken, so that session goes on undisturbed.
#
# TAPLORE_LANGUAGE=0 (English) or 1 (Japanese) starts the program from a
# temporary folder whose settings file holds that language, so the language
# dialog of a first start is skipped and your own settings stay untouched.
# TAPLORE_BUILD_DIR builds elsewhere than build/windows.
set -u
cd "$(dirname "$0")" || exit 1
root=$PWD
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh

taplore_install_packages || { echo "run.sh: installing the packages failed" >&2; exit 1; }
build="${TAPLORE_BUILD_DIR:-$root/build/windows}"
cmake --preset windows -B "$build" >/dev/null || exit 1
cmake --build "$build" -j2 --target Taplore || exit 1
exe="$build/Taplore.exe"
prefix="${TAPLORE_WINEPREFIX:-$root/build/wine-prefix}"

workdir="$root"
tempdir=""
program_pid=""
cleanup() {
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    taplore_wine_down
    [ -n "$tempdir" ] && rm -rf "$tempdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Nobody could answer the language question of a first start on a private
# display, and the picture is to show the program.
[ -z "${DISPLAY:-}" ] && [ -z "${TAPLORE_LANGUAGE:-}" ] && TAPLORE_LANGUAGE=0
if [ -n "${TAPLORE_LANGUAGE:-}" ]; then
    tempdir=$(mktemp -d)
    printf '<?xml version="1.0" ?>\r\n<config><language>%s</language>\r\n</config>\r\n' \
        "$TAPLORE_LANGUAGE" > "$tempdir/Taplore.ini"
    workdir="$tempdir"
fi

if [ -n "${DISPLAY:-}" ]; then
    num=""
    [[ "$DISPLAY" =~ ^:([0-9]+)(\.[0-9]+)?$ ]] && num="${BASH_REMATCH[1]}"
    user_display="$DISPLAY"
    taplore_wine_up "$num" "$prefix" || exit 1
    export DISPLAY="$user_display"
    echo "Starting Taplore on $DISPLAY (Wine prefix $WINEPREFIX)"
    (cd "$workdir" && wine64 "$exe")
    echo "Taplore ended with exit code $?"
    exit 0
fi

taplore_wine_up new "$prefix" || exit 1
shot="$root/build/run.png"
empty="$(mktemp --suffix=.png)"
previous="$(mktemp --suffix=.png)"
current="$(mktemp --suffix=.png)"
import -window root "$empty"
(cd "$workdir" && exec wine64 "$exe") &
program_pid=$!

# Wait until the screen has changed from the empty desktop and has then stayed
# the same for three looks in a row: the window is up and drawn.
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }
ready=0
steady=0
cp "$empty" "$previous"
for _ in $(seq 1 120); do
    sleep 0.5
    kill -0 "$program_pid" 2>/dev/null || break
    import -window root "$current"
    if ! same "$current" "$empty" && same "$current" "$previous"; then
        steady=$((steady + 1))
        if [ "$steady" -ge 2 ]; then
            ready=1
            break
        fi
    else
        steady=0
    fi
    cp "$current" "$previous"
done
if [ "$ready" = 1 ]; then
    cp "$current" "$shot"
    echo "Taplore is running on a private display $DISPLAY; screenshot saved to $shot"
else
    echo "run.sh: Taplore did not show a window within 60 s" >&2
fi
rm -f "$empty" "$previous" "$current"
echo "Stopping Taplore and the private display."
[ "$ready" = 1 ]
