#!/usr/bin/env bash
# End-to-end figures of the real player in the private desktop and sound server
# of the end-to-end tests (Xvfb, openbox, a PulseAudio null sink), the server
# started as desktops start it, with shared memory (the tests start it
# without). Each figure is printed beside a baseline measured in the same run,
# with the ratio.
#
#   bench/e2e/run.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to build/; ROUNDS (default 9) is the number of starts and
# of each timed click; medians are reported. VELMYR_E2E_SERVER=pipewire plays
# through PipeWire's PulseAudio service instead. VELMYR_BENCH_OTHER_PLAYER names
# a second player binary (another commit's build, say): it is started in the
# same rounds as the player and the bare window, with the same settings, and
# each start figure gets a line of its own for it, beside the same bare window.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build_arg=${1:-build}
rounds=${2:-9}
bench_tools="e2e_bare_window e2e_soundwatch e2e_mapwatch e2e_click"
e2e_pulse_shm=yes
. "$root/bench/e2e/bench_lib.sh"
# CPU time in nanoseconds, summed over the process's threads (the scheduler's
# own count: far finer than clock ticks, which a quiet player barely reaches).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
# One line per thread: id, name, CPU nanoseconds.
thread_ns() {
    local t
    for t in /proc/"$1"/task/*; do
        printf '%s|%s|%s\n' "${t##*/}" "$(cat "$t/comm")" "$(awk '{ print $1 }' "$t/schedstat")"
    done
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
# Resident kB of libpulse's pool of shared memory, which holds the blocks of
# samples that the server has not handed back yet.
pool_kb() { awk '/^[0-9a-f]+-[0-9a-f]+ / { pool = ($6 ~ /^\/memfd:pulseaudio/) } pool && /^Rss:/ { s += $2 } END { print s + 0 }' "/proc/$1/smaps"; }
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
other_bin=${VELMYR_BENCH_OTHER_PLAYER:-}
other_dir=$test_dir/other
if [ -n "$other_bin" ]; then
    [ -x "$other_bin" ] || { echo "bench: $other_bin is not a program" >&2; exit 1; }
    mkdir -p "$other_dir"
    cp "$other_bin" "$other_dir/velmyr"
    cp "$app_dir/velmyr.ini" "$other_dir/"
fi

echo "e2e benchmark: display $DISPLAY, $rounds rounds, medians"
[ -z "$other_bin" ] || echo "other player: $other_bin"
echo

# Starts the player, the other player if there is one, and a bare Qt window
# $rounds times each, in turn, and keeps each time to the window shown in
# $test_dir/$1_velmyr, $1_other and $1_bare. The rest of the arguments are
# variables of the environment they start in.
time_window_starts() {
    local name=$1 i who cmd out starters=(velmyr bare)
    shift
    [ -z "$other_bin" ] || starters=(velmyr other bare)
    : >"$test_dir/${name}_velmyr" >"$test_dir/${name}_other" >"$test_dir/${name}_bare"
    for i in $(seq "$rounds"); do
        for who in "${starters[@]}"; do
            case $who in
                velmyr) cmd=("$app_dir/velmyr") ;;
                other) cmd=("$other_dir/velmyr") ;;
                bare) cmd=("$tools/e2e_bare_window") ;;
            esac
            out=$(cd "$work" && env "$@" timeout 30 "$tools/e2e_mapwatch" "${cmd[@]}") ||
                { echo "bench: no window from ${cmd[*]}" >&2; exit 1; }
            field shown_ms <<<"$out" >>"$test_dir/${name}_$who"
            end_orphan "$(field pid <<<"$out")"
            sleep 0.3
        done
    done
}

# The other player's line for the starts timed as $1, beside the bare window
# of the same rounds.
print_other_starts() {
    [ -n "$other_bin" ] || return 0
    local other bare
    other=$(median <"$test_dir/$1_other") bare=$(median <"$test_dir/$1_bare")
    printf '    the other player:          %7.1f ms   bare Qt window %7.1f ms   ratio %s\n' \
        "$other" "$bare" "$(ratio "$other" "$bare")"
}

# ---- start to window shown
time_window_starts start
start_v=$(median <"$test_dir/start_velmyr")
start_b=$(median <"$test_dir/start_bare")
printf 'start to window shown:        velmyr %7.1f ms   bare Qt window %7.1f ms   ratio %s (target <= 1.15)\n' \
    "$start_v" "$start_b" "$(ratio "$start_v" "$start_b")"
print_other_starts start

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
# 128 kbit/s, 44.1 kHz stereo: the 3 s test tone thirteen times over, each
# copy without its first frame, the Info frame that gives one copy's length.
for i in $(seq 13); do tail -c +418 "$root/tests/fixtures/tone440.mp3"; done >"$long/long.mp3"
measure=30
track="39 s, 44.1 kHz stereo, 128 kbit/s"
start_player --folder "$long" >/dev/null || exit 1
double_click_at $first_file
sleep 2
c0=$(cpu_ns "$player_pid"); thread_ns "$player_pid" >"$test_dir/threads0"
sleep "$measure"
c1=$(cpu_ns "$player_pid"); thread_ns "$player_pid" >"$test_dir/threads1"
stop_player
mpg123 -q -o pulse "$long/long.mp3" &
mpg_pid=$!
sleep 2
m0=$(cpu_ns "$mpg_pid"); sleep "$measure"; m1=$(cpu_ns "$mpg_pid")
end_process "$mpg_pid"
per_minute() { awk -v a="$1" -v b="$2" -v s="$measure" 'BEGIN { printf "%.3f", (b - a) / 1e9 * 60 / s }'; }
cpu_v=$(per_minute "$c0" "$c1")
cpu_m=$(per_minute "$m0" "$m1")
printf 'CPU s per minute of playback: velmyr %7.3f s    mpg123 -o pulse %7.3f s    ratio %s (target <= 0.50)\n' \
    "$cpu_v" "$cpu_m" "$(ratio "$cpu_v" "$cpu_m")"
echo "    (measured over $measure s of $track)"
echo "    velmyr's threads, CPU s per minute:$(awk -F'|' -v s="$measure" '
    NR == FNR { before[$1] = $3; next }
    { printf " %s %.3f;", $2, ($3 - before[$1]) / 1e9 * 60 / s }' "$test_dir/threads0" "$test_dir/threads1")"

# ---- reaction of the sound to clicks
# Each click is made by e2e_click and timed from the moment the X server had
# taken the press to the change in what the sink's monitor records. The floor
# is what the sound server itself takes: a paplay of the same kind of audio,
# from its start to its first sound, and a paplay killed while it plays, from
# the kill to silence.
monitor() { parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=5 2>/dev/null; }
# timed NAME sound|silence [--after-ms N] COMMAND...: runs the command where
# the pointer is and records the milliseconds from the press (e2e_click) or
# from the command's start (anything else) to the change.
timed() {
    local name=$1 until=$2 after=() out
    shift 2
    [ "$1" = --after-ms ] && { after=("$1" "$2"); shift 2; }
    out=$(monitor | timeout 40 "$tools/e2e_soundwatch" "$until" "${after[@]}" "$@")
    if ! grep -q latency_ms <<<"$out"; then echo "bench: no $until after $name" >&2; return 1; fi
    if [ "$1" = "$tools/e2e_click" ]; then
        awk -v a="$(field at_ms <<<"$out")" -v p="$(field pressed_ms <<<"$out")" 'BEGIN { print a - p }'
    else
        field latency_ms <<<"$out"
    fi >>"$test_dir/$name"
}
# Clicks on the same label must lie further apart than a double-click: one
# interval from the end of the previous one.
apart() { last_click_ms=$(now_ms); clicks_apart; }
click() { "$tools/e2e_click" "$@" >/dev/null; }

mpg123 -q -w "$work/a1250.wav" "$music/a1250.mp3"
for i in $(seq "$rounds"); do
    timed floor_sound sound paplay "$work/a1250.wav"
    paplay "$work/a1250.wav" &
    floor_pid=$!
    disown "$floor_pid"  # no job notice of its end
    timed floor_silence silence kill -KILL "$floor_pid"
done

start_player --folder "$music" >/dev/null || exit 1
for i in $(seq "$rounds"); do
    pointer_to $first_file
    apart; timed first_sound sound "$tools/e2e_click" 2
    # Within 0.2 s of the file's start, while the server's queue still fills.
    pointer_to $(centre Label6)
    apart; timed pause_at_start silence --after-ms 100 "$tools/e2e_click" 1
    apart; click 1; sleep 1  # resume
    apart; timed pause silence "$tools/e2e_click" 1
    apart; click 1; sleep 0.5  # resume
    pointer_to $(centre Label4)
    apart; timed mute silence "$tools/e2e_click" 1
    apart; click 1; sleep 0.5  # sound on again
    pointer_to $(centre Label7)
    apart; timed stop silence "$tools/e2e_click" 1
done
# The same 1 to 1.5 s before the end of the 12 s file, when the decoder has
# long handed over its last sample and the rest waits in the server's queue.
for i in $(seq "$rounds"); do
    for what in pause:Label6 mute:Label4 stop:Label7; do
        pointer_to $first_file
        apart; click 2
        pointer_to $(centre "${what#*:}")
        apart; timed "${what%:*}_near_end" silence --after-ms 10500 "$tools/e2e_click" 1
        [ "${what%:*}" = stop ] || { apart; click 1; }  # resume, sound on again
    done
done
stop_player

worst() { sort -n | tail -n1; }
floor_sound=$(median <"$test_dir/floor_sound")
floor_silence=$(median <"$test_dir/floor_silence")
printf '%-30s %7.1f ms   paplay start to sound %7.1f ms   beyond %6.1f ms (target <= 10)\n' \
    "double-click to first sound:" "$(median <"$test_dir/first_sound")" "$floor_sound" \
    "$(awk -v a="$(median <"$test_dir/first_sound")" -v b="$floor_sound" 'BEGIN { print a - b }')"
for name in pause_at_start pause mute stop pause_near_end mute_near_end stop_near_end; do
    med=$(median <"$test_dir/$name") worst=$(worst <"$test_dir/$name")
    printf '%-30s %7.1f ms (worst %6.1f)   paplay killed to silence %6.1f ms   beyond %6.1f (%6.1f) ms (target <= 10 (30))\n' \
        "${name//_/ } to silence:" "$med" "$worst" "$floor_silence" \
        "$(awk -v a="$med" -v b="$floor_silence" 'BEGIN { print a - b }')" \
        "$(awk -v a="$worst" -v b="$floor_silence" 'BEGIN { print a - b }')"
done
echo "    (from the X server taking the press; pause at start comes 0.1-0.2 s into the file, near end 1-1.5 s before its end)"

# ---- wake-ups of all the player's threads, idle, playing and paused, beside
# mpg123 playing the same file. A wake-up is a voluntary context switch: the
# thread slept and something woke it. Involuntary ones (the thread was
# running and had to give the CPU to another, often the sound server its
# data just woke) are printed beside them. Playing is counted over 20 s, since
# the output is refilled every few seconds and a 10 s window holds two or
# three refills.
switches() { # PID voluntary|nonvoluntary
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk -v k="$2" '$1 == k "_ctxt_switches:" { s += $2 } END { print s + 0 }'
}
per_second() { # PID SECONDS: sets wake and preempt, per second over that time
    local v0 n0 v1 n1
    v0=$(switches "$1" voluntary); n0=$(switches "$1" nonvoluntary)
    sleep "$2"
    v1=$(switches "$1" voluntary); n1=$(switches "$1" nonvoluntary)
    wake=$(awk -v a="$v0" -v b="$v1" -v s="$2" 'BEGIN { printf "%.2f", (b - a) / s }')
    preempt=$(awk -v a="$n0" -v b="$n1" -v s="$2" 'BEGIN { printf "%.2f", (b - a) / s }')
}
start_player --folder "$long" >/dev/null || exit 1
sleep 2
per_second "$player_pid" 10; wake_idle=$wake
double_click_at $first_file
sleep 3
per_second "$player_pid" 20; wake_playing=$wake preempt_playing=$preempt
pointer_to $(centre Label6)
apart; click 1
sleep 2
per_second "$player_pid" 10; wake_paused=$wake
stop_player
mpg123 -q -o pulse "$long/long.mp3" &
mpg_pid=$!
sleep 3
per_second "$mpg_pid" 20; wake_mpg=$wake preempt_mpg=$preempt
end_process "$mpg_pid"
printf 'wake-ups a second, playing:    velmyr %7.2f     mpg123 -o pulse %7.2f     ratio %s (target <= 2 a second)\n' \
    "$wake_playing" "$wake_mpg" "$(ratio "$wake_playing" "$wake_mpg")"
printf '    involuntary switches beside them: velmyr %.2f, mpg123 %.2f a second\n' "$preempt_playing" "$preempt_mpg"
printf 'wake-ups a second, paused:     velmyr %7.2f (target <= 0.2)   idle: %.2f (target 0)\n' \
    "$wake_paused" "$wake_idle"
echo "    (voluntary context switches of all threads, /proc/PID/task/*/status)"

# ---- resident memory over a long session: 900 steps with the next label
# through short files, each while the one before it plays; measured at the
# same point of the first file and of the last
walk=$work/walk
mkdir -p "$walk"
for i in $(seq -w 901); do ln -s "$root/tests/fixtures/tone440.mp3" "$walk/t$i.mp3"; done
start_player --folder "$walk" >/dev/null || exit 1
double_click_at $first_file
pointer_to $(centre Label8)
sleep 2
rss_walk0=$(rss_kb "$player_pid") pool_walk0=$(pool_kb "$player_pid") rss_walk_steps=""
for i in $(seq 900); do
    click_here 1
    [ $((i % 150)) = 0 ] && rss_walk_steps+=" $(printf %.1f "$(mb "$(rss_kb "$player_pid")")")"
done
sleep 2
rss_walk1=$(rss_kb "$player_pid") pool_walk1=$(pool_kb "$player_pid")
player_running || echo "bench: the player ended during the walk through 900 files" >&2
stop_player
printf 'resident memory, 900 files stepped with next: %.1f MB before, %.1f MB after, growth %s MB (target <= 1)\n' \
    "$(mb "$rss_walk0")" "$(mb "$rss_walk1")" \
    "$(awk -v a="$rss_walk0" -v b="$rss_walk1" 'BEGIN { printf "%.2f", (b - a) / 1024 }')"
echo "    (MB every 150 files, each right after a click:$rss_walk_steps)"
printf '    of which the sound server pool of shared memory: %.2f MB before, %.2f MB after\n' \
    "$(mb "$pool_walk0")" "$(mb "$pool_walk1")"

# ---- with a session bus: the player goes on it (MPRIS) after its first frame
start_session_bus || exit 1
time_window_starts bus_start DBUS_SESSION_BUS_ADDRESS="$session_bus"
start_v=$(median <"$test_dir/bus_start_velmyr")
start_b=$(median <"$test_dir/bus_start_bare")
printf 'start with a session bus:     velmyr %7.1f ms   bare Qt window %7.1f ms   ratio %s (target <= 1.10)\n' \
    "$start_v" "$start_b" "$(ratio "$start_v" "$start_b")"
print_other_starts bus_start
DBUS_SESSION_BUS_ADDRESS=$session_bus start_player --folder "$music" >/dev/null || exit 1
mpris_shows 20 status Stopped || echo "bench: the player did not come on the session bus" >&2
sleep 10
rss_bus=$(rss_kb "$player_pid")
stop_player
printf 'resident memory idle, on the bus: velmyr %7.1f MB   without a bus %7.1f MB   difference %s MB\n' \
    "$(mb "$rss_bus")" "$(mb "$rss_idle")" "$(awk -v a="$rss_bus" -v b="$rss_idle" 'BEGIN { printf "%.2f", (a - b) / 1024 }')"

# ---- with assistive technology: the accessibility bus switched on, as a screen
# reader does; both programs then load Qt's accessibility bridge
start_accessibility_bus || exit 1
time_window_starts a11y_start DBUS_SESSION_BUS_ADDRESS="$session_bus"
a11y_v=$(median <"$test_dir/a11y_start_velmyr") a11y_b=$(median <"$test_dir/a11y_start_bare")
printf 'start with accessibility on:  velmyr %7.1f ms   bare Qt window %7.1f ms   ratio %s (without: above, with a session bus)\n' \
    "$a11y_v" "$a11y_b" "$(ratio "$a11y_v" "$a11y_b")"
print_other_starts a11y_start
