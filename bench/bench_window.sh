#!/bin/bash
# ./bench.sh window: the main window with a list of 1,000,000 operations under
# Wine. Builds Taplore.exe and file_commands_e2e_win_test.exe with the windows
# preset, starts a private Xvfb with Wine's virtual desktop and runs the
# test's bench case: it opens the list through File > Open and measures until
# the list view reports every row and the first screen of texts is readable,
# then Delete on row 500,000 and Up on the last row. The last lines are
# open_1M_ms, delete_1M_ms and up_1M_ms.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

cmake --preset windows >/dev/null
cmake --build --preset windows --target Taplore file_commands_e2e_win_test

trap taplore_wine_down EXIT
taplore_wine_up new "${TAPLORE_WINEPREFIX:-$PWD/build/wine-prefix}" || exit 1
status=0
output=$(wine64 build/windows/tests/file_commands_e2e_win_test.exe --no-skip \
    "--test-case=bench: *" </dev/null 2>&1 | tr -d '\r') || status=$?
printf '%s\n' "$output" | grep -v -E '^(open|delete|up)_1M_ms:' || true
printf '%s\n' "$output" | grep -E '^(open|delete|up)_1M_ms:'
exit "$status"
