#!/usr/bin/env bash
# Runs the fuzz targets, one after the other, each for SECONDS (default 60).
#
#   bench/fuzz/run.sh [SECONDS] [TARGET...]     targets: command settings decoder file_uri
#
# Uses the fuzz build in $VELMYR_FUZZ_BUILD (default build-fuzz), configuring
# and building it with clang only when it is missing. Each target starts from
# a copy of its committed seed corpus (tests/fuzz/corpus/<target>), which is
# never written to. Prints executions, seconds, executions per second and the
# corpus size per target. A crash, leak, timeout or sanitizer report makes the
# exit status non-zero; its reproducer and log are kept in the findings folder
# printed at the end ($VELMYR_FUZZ_FINDINGS, default <build>/fuzz-findings).
set -uo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(command settings decoder file_uri)
build="${VELMYR_FUZZ_BUILD:-build-fuzz}"
findings="${VELMYR_FUZZ_FINDINGS:-$build/fuzz-findings}"

declare -A max_len=([command]=4096 [settings]=8192 [decoder]=8192 [file_uri]=1024)

missing=0
for t in "${targets[@]}"; do
    [ -n "${max_len[$t]:-}" ] || { echo "unknown target: $t (command, settings, decoder, file_uri)" >&2; exit 2; }
    [ -x "$build/tests/fuzz/velmyr_fuzz_$t" ] || missing=1
done
if [ $missing -eq 1 ]; then
    echo "== building the fuzz targets in $build"
    cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELMYR_FUZZ=ON >/dev/null || exit 2
    cmake --build "$build" -j2 || exit 2
fi

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmyr-fuzz-run.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$findings"
findings="$(cd "$findings" && pwd)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
printf '%-9s %10s %8s %8s %14s %s\n' target executions seconds exec/s "corpus in>out" result
for t in "${targets[@]}"; do
    corpus="$scratch/$t"
    art="$findings/$t"
    mkdir -p "$corpus" "$art"
    cp "tests/fuzz/corpus/$t/"* "$corpus/"
    seeds=$(ls "$corpus" | wc -l)
    log="$art/log.txt"
    start=$(date +%s.%N)
    # The corpus folder is named absolutely: the command target works in a folder of its own.
    dict=()
    [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
    "$root/$build/tests/fuzz/velmyr_fuzz_$t" "$corpus" "${dict[@]}" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$t]}" \
        -print_final_stats=1 -artifact_prefix="$art/" >"$log" 2>&1
    rc=$?
    end=$(date +%s.%N)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", b - a }')
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    grown=$(ls "$corpus" | wc -l)
    reproducers=$(find "$art" -maxdepth 1 -type f ! -name log.txt | wc -l)
    if [ $rc -eq 0 ] && [ "$reproducers" -eq 0 ]; then
        result="nothing found"
        rm -f "$log"
    else
        result="FOUND (exit $rc): see $art"
        status=1
    fi
    printf '%-9s %10s %8s %8s %14s %s\n' "$t" "${runs:-?}" "$took" "${rate:-?}" "$seeds>$grown" "$result"
    if [ "$result" != "nothing found" ]; then
        grep -E "ERROR|check failed|SUMMARY|Test unit written" "$log" | head -20 | sed 's/^/    /'
    fi
    rmdir "$art" 2>/dev/null
done
rmdir "$findings" 2>/dev/null && echo "findings: none" || echo "findings folder: $findings"
exit $status
