#!/usr/bin/env bash
# Installs what is missing, checks the house style, builds everything and runs
# every test: the unit and widget tests, the media-layer tests under
# ThreadSanitizer and under AddressSanitizer+UBSan, the fuzz targets for a
# short while, and the end-to-end tests against a real X server and sound
# server (PulseAudio, then PipeWire's PulseAudio service).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
velmyr_install_missing $VELMYR_BUILD_PACKAGES $VELMYR_TEST_PACKAGES

jobs=2
status=0

# The house style (.clang-format) over every C++ file of the tree.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror || status=1

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMYR_BUILD_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs" -LE e2e || status=1

for san in TSAN ASAN; do
    dir="build-$(echo "$san" | tr A-Z a-z)"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DVELMYR_MEDIA_ONLY=ON -DVELMYR_$san=ON >/dev/null
    cmake --build "$dir" -j"$jobs"
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    ASAN_OPTIONS="detect_leaks=1:halt_on_error=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs" || status=1
done

# Fuzzing: the seed corpora replayed, then each target for about 30 s; a
# crash, leak, hang or sanitizer report fails the run.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMYR_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure --no-tests=error || status=1
bench/fuzz/run.sh "${VELMYR_FUZZ_SECONDS:-30}" || status=1

if [ -x tests/e2e/run.sh ]; then
    tests/e2e/run.sh build || status=1
    tests/e2e/run.sh build --server pipewire || status=1
fi

exit $status
