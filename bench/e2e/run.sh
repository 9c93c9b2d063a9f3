#!/usr/bin/env bash
# End-to-end figures of the real player in the private desktop and sound server
# of the end-to-end tests (Xvfb, openbox, a PulseAudio null sink). Each figure
# is printed beside a baseline measured in the same run, with the ratio.
#
#   bench/e2e/run.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to build/; ROUNDS (default 9) is the number of starts and
# of each timed click; medians are reported.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build_arg=${1:-build}
rounds=${2:-9}
bench_tools="e2e_bare_window e2e_soundwatch e2e_mapwatch e2e_click"
. "$root/bench/e2e/bench_lib.sh"
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# One line per thread: id, name, CPU ticks (the name may hold blanks: it sits in parentheses).
thread_ticks() {
    local t
    for t in /proc/"$1"/task/*; do
        sed -E 's/^([0-9]+) \((.*)\) [A-Z] (.*)$/\1 \2|\3/' "$t/stat" |
            awk -F'|' '{ split($2, f, " "); sub(/ /, "|", $1); print $1 "|" f[11] + f[12] }'
    done
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
# Ends a program that a watcher started and left behind (not a child of this
# shell, so it cannot be waited for; an unreaped one counts as ended).
end_orphan() {
    kill "$1" 2>/dev/null || return 0
    local i
    for i in $(seq 50); do alive "$1" || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
}

app_dir=$test_dir/app
mkdir -p "$app_dir"
cp "$velmyr_bin" "$app_dir/velmyr"
printf '[velmyr]\npath=%s\n' "$music" >"$app_dir/velmyr.ini"

echo "e2e benchmark: display $DISPLAY, $rounds rounds, medians"
echo

# ---- start to window shown
: >"$test_dir/start_velmyr" >"$test_dir/start_bare"
for i in $(seq "$rounds"); do
    for who in velmyr bare; do
        if [ $who = velmyr ]; then cmd=("$app_dir/velmyr"); else cmd=("$tools/e2e_bare_window"); fi
        out=$(cd "$work" && timeout 30 "$tools/e2e_mapwatch" "${cmd[@]}") || { echo "bench: no window from ${cmd[*]}" >&2; exit 1; }
        field shown_ms <<<"$out" >>"$test_dir/start_$who"
        end_orphan "$(field pid <<<"$out")"
        sleep 0.3
    done
done
start_v=$(median <"$test_dir/start_velmyr")
start_b=$(median <"$test_dir/start_bare")
printf 'start to window shown:        velmyr %7.1f ms   bare Qt window %7.1f ms   ratio %s (target <= 1.15)\n' \
    "$start_v" "$start_b" "$(ratio "$start_v" "$start_b")"

# ---- resident memory: idle 10 s after the start, and after 10 s of playback
test_failed=0
start_player --folder "$music" >/dev/null || exit 1
sleep 10
rss_idle=$(rss_kb "$player_pid")
double_click_at $first_file
sleep 10
rss_v=$(rss_kb "$player_pid")
stop_player
"$tools/e2e_bare_window" &
bare_pid=$!
sleep 10
rss_b=$(rss_kb "$bare_pid")
end_process "$bare_pid"
mb() { awk -v k="$1" 'BEGIN { print k / 1024 }'; }
printf 'resident memory idle:         velmyr %7.1f MB   bare Qt window %7.1f MB   ratio %s\n' \
    "$(mb "$rss_idle")" "$(mb "$rss_b")" "$(ratio "$rss_idle" "$rss_b")"
printf 'resident memory after 10 s:   velmyr %7.1f MB   bare Qt window %7.1f MB   ratio %s (target <= 40 MB)\n' \
    "$(mb "$rss_v")" "$(mb "$rss_b")" "$(ratio "$rss_v" "$rss_b")"

# ---- CPU per minute of playback, against mpg123 playing the same file to the same sink
long=$work/long
mkdir -p "$long"
if command -v sox >/dev/null && command -v lame >/dev/null; then
    sox -n -r 44100 -c 2 "$work/long.wav" synth 40 sine 440 vol 0.5 &&
        lame --quiet -b 128 "$work/long.wav" "$long/long.mp3"
    measure=30
    track="40 s, 44.1 kHz stereo, 128 kbit/s"
else
    cp "$here/fixtures/steps.mp3" "$long/long.mp3"
    measure=18
    track="steps.mp3, 24 s, 16 kHz mono, 24 kbit/s (no sox and lame to make a longer one)"
fi
hz=$(getconf CLK_TCK)
start_player --folder "$long" >/dev/null || exit 1
double_click_at $first_file
sleep 2
c0=$(cpu_ticks "$player_pid"); thread_ticks "$player_pid" >"$test_dir/threads0"
sleep "$measure"
c1=$(cpu_ticks "$player_pid"); thread_ticks "$player_pid" >"$test_dir/threads1"
stop_player
mpg123 -q -o pulse "$long/long.mp3" &
mpg_pid=$!
sleep 2
m0=$(cpu_ticks "$mpg_pid"); sleep "$measure"; m1=$(cpu_ticks "$mpg_pid")
end_process "$mpg_pid"
cpu_v=$(awk -v a="$c0" -v b="$c1" -v hz="$hz" -v s="$measure" 'BEGIN { printf "%.3f", (b - a) / hz * 60 / s }')
cpu_m=$(awk -v a="$m0" -v b="$m1" -v hz="$hz" -v s="$measure" 'BEGIN { printf "%.3f", (b - a) / hz * 60 / s }')
printf 'CPU s per minute of playback: velmyr %7.3f s    mpg123 -o pulse %7.3f s    ratio %s (target <= 1.10)\n' \
    "$cpu_v" "$cpu_m" "$(ratio "$cpu_v" "$cpu_m")"
echo "    (measured over $measure s of $track; clock tick $((1000 / hz)) ms)"
echo "    velmyr's threads, CPU s per minute:$(awk -F'|' -v hz="$hz" -v s="$measure" '
    NR == FNR { before[$1] = $3; next }
    { printf " %s %.3f;", $2, ($3 - before[$1]) / hz * 60 / s }' "$test_dir/threads0" "$test_dir/threads1")"

# ---- reaction of the sound to clicks
# Each click is timed twice: clicked by xdotool, from its start, beside
# xdotool's own run time (the baseline); and clicked by e2e_click, from the
# moment the X server had taken the press, which is the program's own share.
monitor() { parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=5 2>/dev/null; }
# timed NAME sound|silence COMMAND...: runs the command where the pointer is and records the figures.
timed() {
    local name=$1 until=$2 out
    shift 2
    out=$(monitor | timeout 40 "$tools/e2e_soundwatch" "$until" "$@")
    if ! grep -q latency_ms <<<"$out"; then echo "bench: no $until after $name" >&2; return 1; fi
    if [ "$1" = xdotool ]; then
        field latency_ms <<<"$out" >>"$test_dir/$name.latency"
        field command_ms <<<"$out" >>"$test_dir/$name.command"
    else
        awk -v a="$(field at_ms <<<"$out")" -v p="$(field pressed_ms <<<"$out")" 'BEGIN { print a - p }' \
            >>"$test_dir/$name.server"
    fi
}
# Clicks on the same label must lie further apart than a double-click.
apart() { sleep 0.6; }
start_player --folder "$music" >/dev/null || exit 1
for i in $(seq "$rounds"); do
    for via in xdotool click; do
        if [ $via = xdotool ]; then one=(xdotool click 1); two=(xdotool click --repeat 2 --delay 80 1)
        else one=("$tools/e2e_click" 1); two=("$tools/e2e_click" 2); fi
        pointer_to $first_file
        timed double_click sound "${two[@]}"
        pointer_to $(centre Label6)
        apart; timed pause silence "${one[@]}"
        apart; xdotool click 1; sleep 0.5  # resume
        pointer_to $(centre Label4)
        apart; timed mute silence "${one[@]}"
        apart; xdotool click 1; sleep 0.5  # sound on again
        pointer_to $(centre Label7)
        apart; timed stop silence "${one[@]}"
        apart
    done
done
stop_player
# For comparison: a whole mpg123 process started to its first sound.
for i in $(seq "$rounds"); do
    out=$(monitor | timeout 40 "$tools/e2e_soundwatch" sound timeout 2 mpg123 -q -o pulse "$music/a1250.mp3")
    field latency_ms <<<"$out" >>"$test_dir/mpg123_start"
done
for name in double_click pause mute stop; do
    lat=$(median <"$test_dir/$name.latency")
    own=$(median <"$test_dir/$name.command")
    server=$(median <"$test_dir/$name.server")
    case $name in double_click) what="double-click to first sound"; target=15 ;; *) what="$name to silence"; target=30 ;; esac
    printf '%-29s %7.1f ms   xdotool alone %7.1f ms   beyond xdotool %7.1f ms   ratio %s (target <= %d ms beyond)\n' \
        "$what:" "$lat" "$own" "$(awk -v a="$lat" -v b="$own" 'BEGIN { print a - b }')" "$(ratio "$lat" "$own")" "$target"
    printf '%-29s %7.1f ms   from the X server taking the click\n' "" "$server"
done
printf '%-29s %7.1f ms   (reference: a new mpg123 process, from its start)\n' "mpg123 -o pulse to sound:" \
    "$(median <"$test_dir/mpg123_start")"
