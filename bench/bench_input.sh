#!/bin/bash
# ./bench.sh input: how closely recording and playback keep time with real X
# input under Wine, figures the functional tests print but do not judge.
# Builds the windows preset's Taplore.exe, player_target.exe and the tests
# that drive them, starts a private Xvfb with Wine's virtual desktop and runs
# each test TAPLORE_BENCH_RUNS times (default 3), keeping only its figure
# lines: recorded intervals against the gaps xdotool made and the raw events
# and the target saw (recorder and loop tests), played gaps against the
# recorded intervals, the first action of new player threads, Stop Play.
# Run it beside a given load to see what that load does to them.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

tests="recorder_win_test recorder_motion_win_test player_target_win_test loop_e2e_win_test"
cmake --preset windows >/dev/null
# shellcheck disable=SC2086
cmake --build --preset windows --target Taplore player_target $tests

trap taplore_wine_down EXIT
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
status=0
for run in $(seq 1 "${TAPLORE_BENCH_RUNS:-3}"); do
    for test in $tests; do
        echo "== $test, run $run"
        output=$(cd build/windows/tests && wine64 "./$test.exe" </dev/null 2>&1 | tr -d '\r') || status=$?
        printf '%s\n' "$output" | grep -E ' ms|median' | sed -E 's#^.*/tests/[^:]*:[0-9]+: MESSAGE: #  #' || true
    done
done
exit "$status"
