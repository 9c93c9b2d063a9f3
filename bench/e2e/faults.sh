#!/usr/bin/env bash
# End-to-end figures of the player when its sound server fails, in the private
# desktop and sound server of the end-to-end tests. Each figure is printed
# beside a baseline measured in the same run (the server running), with the
# ratio.
#
#   bench/e2e/faults.sh [BUILD_DIR] [ROUNDS]
#
#   - from a move onto the mute label to the label seen lit, while a file
#     plays, while the server is stopped (SIGSTOP) and after it was killed
#     (seen by screenshots, so the figure includes a screenshot's time, given
#     as the floor);
#   - from the click on close to the end of the process, the server stopped;
#   - from a double-click on a file to its first sound, once a killed server
#     was started again.
# BUILD_DIR defaults to build/; ROUNDS (default 7) is the number of each
# measure; medians are reported.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build_arg=${1:-build}
rounds=${2:-7}
bench_tools="e2e_soundwatch e2e_click"
. "$root/bench/e2e/bench_lib.sh"
monitor() { parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=5 2>/dev/null; }

lit() { shoot seen >/dev/null && [ "$(label_text_colour Label4)" = "$1" ]; }

# Moves the pointer onto the mute label $rounds times and writes into the file
# $1 the milliseconds until a screenshot shows it lit (10 s when never), and
# into $1.floor the time of one more screenshot and check once it is.
hovers() {
    local into=$1 i start
    : >"$test_dir/$into" >"$test_dir/$into.floor"
    for i in $(seq "$rounds"); do
        pointer_to 205 100
        wait_for 10 lit grey
        pointer_to $(centre Label4)
        start=$(now_ms)
        if wait_for_fast 10 lit white; then echo $(($(now_ms) - start)); else echo 10000; fi >>"$test_dir/$into"
        start=$(now_ms)
        lit white
        echo $(($(now_ms) - start)) >>"$test_dir/$into.floor"
    done
    pointer_to 205 100
}
wait_for_fast() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do [ $SECONDS -ge $deadline ] && return 1; done
}

# Milliseconds from e2e_click's press on the close label to the end of the player.
time_close() {
    local out pressed
    pointer_to $(centre Label3)
    out=$("$tools/e2e_click" 1)
    pressed=$(now_ms)
    wait_player_exit 20 || { echo "bench: the player did not end" >&2; stop_player; echo 20000; return; }
    echo $(($(now_ms) - pressed))
}

# Milliseconds from the double-click on the first file to its first sound.
time_to_sound() {
    local out
    pointer_to $first_file
    out=$(monitor | timeout 40 "$tools/e2e_soundwatch" sound "$tools/e2e_click" 2)
    awk -v a="$(field at_ms <<<"$out")" -v p="$(field pressed_ms <<<"$out")" \
        'BEGIN { if (a == "" || p == "") print 10000; else print a - p }'
}

kill_server() {
    disown "$sound_pid" "$recorder_pid" 2>/dev/null
    kill -"$1" "$sound_pid"
    wait_for 10 sh -c "! kill -0 $sound_pid"
}

echo "e2e fault benchmark: display $DISPLAY, $rounds rounds, medians"
echo

# ---- the window while the output is stuck or gone
test_failed=0
start_player --folder "$music" >/dev/null || exit 1
double_click_at $first_file
sleep 1
hovers hover_running
kill -STOP "$sound_pid"
sleep 1
hovers hover_stopped
# A file chosen while the server is stopped: its output cannot even open.
double_click_at $first_file
hovers hover_stopped_opening
kill -CONT "$sound_pid"
sleep 1
kill_server KILL
sleep 1
hovers hover_killed
double_click_at $first_file
hovers hover_killed_playing
stop_player
restore_sound_server || exit 1

run=$(median <"$test_dir/hover_running")
floor=$(cat "$test_dir"/hover_*.floor | median)
for name in stopped stopped_opening killed killed_playing; do
    case $name in
        stopped) what="server stopped, file playing" ;;
        stopped_opening) what="server stopped, file opening" ;;
        killed) what="server killed" ;;
        killed_playing) what="server killed, next file" ;;
    esac
    m=$(median <"$test_dir/hover_$name")
    printf 'move onto mute label to lit: %-29s %7.1f ms   server running %7.1f ms   ratio %s\n' \
        "$what" "$m" "$run" "$(ratio "$m" "$run")"
done
echo "    (seen by screenshots: one screenshot and check takes $floor ms)"

# ---- close with the server stopped
: >"$test_dir/close_running" >"$test_dir/close_stopped"
for i in $(seq "$rounds"); do
    for state in running stopped; do
        start_player --folder "$music" >/dev/null || exit 1
        double_click_at $first_file
        sleep 0.5
        [ $state = stopped ] && kill -STOP "$sound_pid" && sleep 0.5
        time_close >>"$test_dir/close_$state"
        kill -CONT "$sound_pid"
    done
done
c_run=$(median <"$test_dir/close_running")
c_stop=$(median <"$test_dir/close_stopped")
printf 'click on close to process end: server stopped %7.1f ms   server running %7.1f ms   ratio %s\n' \
    "$c_stop" "$c_run" "$(ratio "$c_stop" "$c_run")"
echo "    (from the X server taking the press; the end waits at most 300 ms for outputs)"

# ---- the first sound once the server is back
: >"$test_dir/sound_fresh" >"$test_dir/sound_back"
for i in $(seq "$rounds"); do
    start_player --folder "$music" >/dev/null || exit 1
    time_to_sound >>"$test_dir/sound_fresh"
    kill_server KILL
    sleep 0.5
    # Played into no output meanwhile.
    double_click_at $first_file
    start_sound_server || exit 1
    start_recorder || exit 1
    sleep 0.5
    time_to_sound >>"$test_dir/sound_back"
    stop_player
done
s_fresh=$(median <"$test_dir/sound_fresh")
s_back=$(median <"$test_dir/sound_back")
printf 'double-click to first sound: server back %7.1f ms   server never gone %7.1f ms   ratio %s\n' \
    "$s_back" "$s_fresh" "$(ratio "$s_back" "$s_fresh")"
echo "    (from the X server taking the second press; the player was not restarted)"
