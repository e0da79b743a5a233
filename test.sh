#!/usr/bin/env bash
# Builds both presets and runs every test: the portable core natively under
# ASan/UBSan, then the whole Windows build under Wine on a private Xvfb with
# Wine's virtual desktop, then a short fuzzing pass. Exits non-zero on any
# failure. Usage: ./test.sh [--no-fuzz]
set -u
cd "$(dirname "$0")"
. cmake/wine-env.sh

fuzz=1
[ "${1:-}" = "--no-fuzz" ] && fuzz=0

taplore_install_packages || { echo "package installation failed"; exit 1; }

status=0
echo "== native build (ASan + UBSan) =="
if cmake --preset native >/dev/null && cmake --build --preset native; then
    ctest --preset native || status=1
else
    echo "native build failed"
    exit 1
fi

echo "== Windows build (MinGW-w64), tests under Wine =="
cmake --preset windows >/dev/null && cmake --build --preset windows || { echo "Windows build failed"; exit 1; }

trap taplore_wine_down EXIT
taplore_wine_up new "$PWD/build/wine-prefix" || { echo "no Wine session"; exit 1; }
ctest --preset windows || status=1

echo "== scripts leave a running Taplore alone =="
bash tests/scripts_test.sh || status=1
taplore_wine_down
trap - EXIT

if [ "$fuzz" = 1 ] && [ -x ./fuzz.sh ]; then
    echo "== fuzzing (short pass) =="
    ./fuzz.sh "${TAPLORE_FUZZ_SECONDS:-20}" || status=1
fi

[ "$status" = 0 ] && echo "test.sh: all tests passed" || echo "test.sh: FAILURES"
exit "$status"
