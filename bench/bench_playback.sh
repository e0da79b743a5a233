#!/bin/bash
# ./bench.sh playback: playback timing and screenshot cost under Wine.
# Builds player_bench.exe (tests/support) with the windows preset, starts a
# private Xvfb with Wine's virtual desktop and runs it. It plays 320 clicks
# with intervals over 0 .. 100 ms into player_target.exe, once with the
# player's own timer and once with the tick-count scheme as the baseline, and
# ends with the lines lateness_p50_ms, lateness_p99_ms, drift_ms and
# baseline_lateness_p99_ms (screenshot_png_ms just before).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

cmake --preset windows >/dev/null
cmake --build --preset windows --target player_bench

trap taplore_wine_down EXIT
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
wine64 build/windows/tests/player_bench.exe </dev/null | tr -d '\r'
