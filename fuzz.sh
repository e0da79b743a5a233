#!/usr/bin/env bash
# ./fuzz.sh SECONDS [TARGET...]: builds the libFuzzer targets (preset "fuzz":
# clang with ASan + UBSan) and runs each fuzz/fuzz_<name>.cpp (or only the
# targets named, e.g. fuzz_xml) for SECONDS, one at a time,
# starting from its seed corpus fuzz/corpus/<name>/ (and with the dictionary
# fuzz/<name>.dict when there is one). Prints one line per
# target, "fuzz_<name>: <execs> execs, <crashes> crashes", and exits non-zero
# when any target crashed; crashing inputs are kept in fuzz/findings/<target>/.
# TAPLORE_FUZZ_BUILD chooses the build folder (default build/fuzz).
set -u
cd "$(dirname "$0")"

seconds="${1:-60}"
case "$seconds" in
    ''|*[!0-9]*) echo "usage: $0 SECONDS [TARGET...]" >&2; exit 2 ;;
esac
shift $(( $# > 0 ? 1 : 0 ))

# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages || { echo "package installation failed" >&2; exit 1; }

build="${TAPLORE_FUZZ_BUILD:-build/fuzz}"
mkdir -p "$build" && build="$(cd "$build" && pwd)"   # targets may change directory
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi

cmake --preset fuzz -B "$build" >/dev/null || exit 1
cmake --build "$build" -j2 --target "${targets[@]}" >"$build/fuzz-build.log" 2>&1 || {
    cat "$build/fuzz-build.log" >&2
    echo "fuzz build failed" >&2
    exit 1
}

status=0
for target in "${targets[@]}"; do
    seeds="$PWD/fuzz/corpus/${target#fuzz_}"
    work="$build/corpus/$target"       # inputs found while fuzzing stay out of the repo
    findings="$PWD/fuzz/findings/$target"
    mkdir -p "$seeds" "$work" "$findings"
    log="$build/$target.log"
    before=$(find "$findings" -type f | wc -l)
    dict=()
    [ -f "fuzz/${target#fuzz_}.dict" ] && dict=(-dict="$PWD/fuzz/${target#fuzz_}.dict")
    # Throughput: AddressSanitizer keeps no allocation stacks (a finding run
    # again by hand, without this setting, shows them) and a quarantine of
    # 16 MiB, still many runs' worth of freed memory (a use after free within
    # a run is caught as before), where the default 256 MiB made every run
    # fault in fresh pages; and libFuzzer's entropic schedule is off: its
    # bookkeeping of rare features took more time per run than the targets
    # themselves (63% in the round trip). The corpus folder is this run's
    # own, so it is not read again for inputs from other processes (-reload,
    # a tenth of the time once the folder holds a thousand files). Undefined
    # behaviour ends the run as a crash, as in the tests.
    ASAN_OPTIONS="malloc_context_size=0:quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
    UBSAN_OPTIONS="halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -max_len=8192 -entropic=0 -reload=0 \
        "${dict[@]}" -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1
    rc=$?
    after=$(find "$findings" -type f | wc -l)
    crashes=$((after - before))
    [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    [ -z "$execs" ] && execs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    echo "$target: ${execs:-0} execs (${rate:-0}/s), $crashes crashes"
    if [ "$crashes" -ne 0 ]; then
        status=1
        grep -m 5 -E 'ERROR|SUMMARY|artifact' "$log" >&2
    fi
done
exit "$status"
