#!/bin/bash
# ./bench.sh motion: long recordings of mouse motion (an hour at 1 ms is
# 3,600,000 operations). Prints the figures as "name: value" lines; the last
# lines are, in this order, motion_kept_pct, motion_drift_ms,
# motion_late_p99_ms (recording and playback), open_3600k_ms,
# load_peak_vs_file, hostile_peak_vs_file and save_3600k_ms (files).
#
# Files: the peaks are measured natively in a fresh process
# (bench_files --peak: the process's peak resident memory minus its memory
# before the load, over the file's size) for an hour of motion and for a
# 40 MiB file of empty sibling elements. Opening and saving are timed under
# Wine through the program: file_commands_e2e_win_test's bench case opens the
# hour with File > Open (until every row is there and the first screen is
# drawn) and saves it with Save As (until the window answers again).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

folder=$(mktemp -d /tmp/taplore_motion_XXXXXX)
cleanup() {
    taplore_wine_down || true
    rm -rf "$folder"
}
trap cleanup EXIT

# The line "name: value" of a benchmark's output.
value_of() {
    printf '%s\n' "$2" | sed -n "s/^$1: //p" | tail -n 1
}

# --- Files: load peaks (native, Release) -----------------------------------
cmake --preset bench >/dev/null
cmake --build --preset bench --target bench_files
bench_files=build/bench/bench/bench_files
"$bench_files" --make-motion "$folder/hour.mou" 3600000
"$bench_files" --make-hostile "$folder/hostile.mou" $((40 * 1024 * 1024))

# Peak over the file's size for one load in a fresh process.
peak_vs_file() {
    local peak before count size
    read -r peak before count < <("$bench_files" --peak ours "$1")
    size=$(stat -c %s "$1")
    if [ "$peak" -lt 0 ]; then
        echo "load of $1 failed" >&2
        echo "-1"
        return
    fi
    echo "$(basename "$1"): $count records, $((size / 1048576)) MiB, peak $((peak / 1024)) MiB," \
        "before $((before / 1024)) MiB" >&2
    awk -v p="$peak" -v b="$before" -v s="$size" 'BEGIN { printf "%.2f\n", (p - b) * 1024 / s }'
}
load_peak_vs_file=$(peak_vs_file "$folder/hour.mou")
hostile_peak_vs_file=$(peak_vs_file "$folder/hostile.mou")
rm -f "$folder/hour.mou" "$folder/hostile.mou"

# --- Files: open and save in the program under Wine ------------------------
cmake --preset windows >/dev/null
cmake --build --preset windows --target Taplore file_commands_e2e_win_test
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
status=0
files=$(wine64 build/windows/tests/file_commands_e2e_win_test.exe --no-skip \
    "--test-case=bench: open and save an hour*" </dev/null 2>&1 | tr -d '\r') || status=$?
printf '%s\n' "$files" | grep -v -E '^(open|save)_3600k_ms:' || true
open_3600k_ms=$(value_of open_3600k_ms "$files")
save_3600k_ms=$(value_of save_3600k_ms "$files")

# --- Recording and playback ------------------------------------------------
# motion_bench.exe (tests/support): a helper process injects 60,000 moves 1 ms
# apart while the recorder records them, then plays them through the player.
cmake --build --preset windows --target motion_bench
# The files above leave hundreds of megabytes to be written back, which
# would stall the timed runs, and the program that opened them leaves a Wine
# session behind that has served it: the timed runs get a fresh one.
sync
taplore_wine_down
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
echo "load before the motion run: $(cut -d' ' -f1-3 /proc/loadavg)"
motion=$(wine64 build/windows/tests/motion_bench.exe </dev/null 2>&1 | tr -d '\r') || status=$?
echo "load after the motion run: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "$motion" | grep -v -E '^motion_(kept_pct|drift_ms|late_p99_ms):' || true
motion_kept_pct=$(value_of motion_kept_pct "$motion")
motion_drift_ms=$(value_of motion_drift_ms "$motion")
motion_late_p99_ms=$(value_of motion_late_p99_ms "$motion")

# --- Results, last ----------------------------------------------------------
for name in motion_kept_pct motion_drift_ms motion_late_p99_ms; do
    if [ -n "${!name}" ]; then echo "$name: ${!name}"; fi
done
echo "open_3600k_ms: ${open_3600k_ms:-none}"
echo "load_peak_vs_file: $load_peak_vs_file"
echo "hostile_peak_vs_file: $hostile_peak_vs_file"
echo "save_3600k_ms: ${save_3600k_ms:-none}"
exit "$status"
