#!/usr/bin/env bash
# The start-up's cost in instructions, which a busy machine does not blur as
# it blurs the time: callgrind counts every instruction of every thread of the
# player from its exec to its window's map request (xcb_map_window), in the
# private desktop of the end-to-end tests without a session bus, beside the
# bare Qt window of run.sh, counted the same way in the same run, with the
# ratio. VELMYR_BENCH_OTHER_PLAYER names a second player binary (another
# commit's build, say), counted the same way on a line of its own. The
# profiles are kept in the folder the last line names, for callgrind_annotate.
#
#   bench/e2e/start_instructions.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to build/; ROUNDS (default 3) starts of each, medians.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build_arg=${1:-build}
rounds=${2:-3}
command -v valgrind >/dev/null || { echo "bench: valgrind is missing (apt-get install valgrind)" >&2; exit 1; }
bench_tools="e2e_bare_window"
. "$root/bench/e2e/bench_lib.sh"
profiles=$(mktemp -d /tmp/velmyr-start-instructions.XXXXXX)

app_dir=$test_dir/app
mkdir -p "$app_dir"
cp "$velmyr_bin" "$app_dir/velmyr"
printf '[velmyr]\npath=%s\n' "$music" >"$app_dir/velmyr.ini"
other_bin=${VELMYR_BENCH_OTHER_PLAYER:-}
starters=(velmyr bare)
if [ -n "$other_bin" ]; then
    [ -x "$other_bin" ] || { echo "bench: $other_bin is not a program" >&2; exit 1; }
    mkdir -p "$test_dir/other"
    cp "$other_bin" "$test_dir/other/velmyr"
    cp "$app_dir/velmyr.ini" "$test_dir/other/"
    starters=(velmyr other bare)
fi

echo "start-up instructions: display $DISPLAY, $rounds rounds, medians"
[ -z "$other_bin" ] || echo "other player: $other_bin"
echo

# Counts one start of $1 up to its map request into $profiles/$1.$2; the
# program ends there. Prints the count.
count_start() {
    local who=$1 round=$2 cmd pid profile=$profiles/$1.$2
    case $who in
        velmyr) cmd=("$app_dir/velmyr") ;;
        other) cmd=("$test_dir/other/velmyr") ;;
        bare) cmd=("$tools/e2e_bare_window") ;;
    esac
    (cd "$work" && exec valgrind --tool=callgrind --dump-before=xcb_map_window \
        --callgrind-out-file="$profile" "${cmd[@]}" >/dev/null 2>&1) &
    pid=$!
    # The dump's last line is its totals.
    if ! wait_for 300 grep -q '^totals:' "$profile.1"; then
        end_process "$pid"
        echo "bench: no map request from ${cmd[*]}" >&2
        exit 1
    fi
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    awk '/^totals:/ { print $2 }' "$profile.1"
}

for i in $(seq "$rounds"); do
    for who in "${starters[@]}"; do count_start "$who" "$i" >>"$test_dir/count_$who"; done
done
millions() { median <"$test_dir/count_$1" | awk '{ printf "%.2f", $1 / 1e6 }'; }
bare=$(millions bare)
player=$(millions velmyr)
printf 'exec to map request:          velmyr %7.2f M    bare Qt window %7.2f M    ratio %s\n' \
    "$player" "$bare" "$(ratio "$player" "$bare")"
if [ -n "$other_bin" ]; then
    other=$(millions other)
    printf '    the other player:          %7.2f M    bare Qt window %7.2f M    ratio %s\n' \
        "$other" "$bare" "$(ratio "$other" "$bare")"
fi
echo "    (instructions of all threads, in millions; profiles: $profiles)"
