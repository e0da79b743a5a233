#!/bin/bash
# ./bench.sh NAME: builds the optimised "bench" preset (native, Release, no
# sanitizers) and runs build/bench/bench/bench_NAME, e.g. ./bench.sh model.
set -euo pipefail
cd "$(dirname "$0")"

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 NAME   (runs bench/bench_NAME.cpp)" >&2
    exit 2
fi
name="$1"
# A benchmark that needs more than a native build (Wine, a display) is a script.
if [ -f "bench/bench_$name.sh" ]; then
    exec bash "bench/bench_$name.sh"
fi
if [ ! -f "bench/bench_$name.cpp" ]; then
    echo "no benchmark bench/bench_$name.cpp" >&2
    exit 2
fi

# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

cmake --preset bench >/dev/null
cmake --build --preset bench --target "bench_$name"
exec "build/bench/bench/bench_$name"
