# Harness of the end-to-end tests, sourced by run.sh (and by bench/e2e): the
# private desktop and sound server, the player's start and stop, the user's
# moves and clicks, and what can be seen and heard.
#
# Expects $root (the source tree) and $build (the build folder).

velmyr_bin=$build/app/velmyr
probe=$build/tests/e2e/e2e_probe
window_title='Quillmere Mp3 Player'
sink=velmyr_null

# The layout in pixels, relative to the window's top-left corner.
declare -A rect=(
    [Label1]="8 0 209 17" [Label2]="0 0 17 17" [Label3]="208 0 17 17"
    [Dir1]="24 24 169 38" [File1]="24 64 169 72"
    [Label9]="24 144 9 17" [Label5]="40 144 25 17" [Label6]="72 144 41 17"
    [Label7]="120 144 25 17" [Label8]="152 144 9 17" [Label4]="168 144 17 17"
    [Label10]="16 168 177 17"
)
hover_labels="Label4 Label5 Label6 Label7 Label8 Label9 Label10"
navy="0 0 128"; black="0 0 0"; olive="128 128 0"; grey="128 128 128"

# ---------------------------------------------------------------- reporting

e2e_log() { printf '    %s\n' "$*"; }

# Marks the running test as failed, with the reason.
fail() {
    test_failed=1
    printf '    FAIL: %s\n' "$*"
}

# True when the awk expression holds, for comparisons of decimal numbers.
holds() { awk "BEGIN { exit !($1) }"; }

# ---------------------------------------------------------------- processes

declare -a started_pids=()

# True while the process runs (a child that ended but was not reaped yet does not).
alive() {
    local state
    state=$(sed -E 's/.*\) ([A-Z]).*/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

# Ends a child of this shell: politely, then after 5 s for good.
end_process() {
    local pid=$1 i
    kill "$pid" 2>/dev/null || return 0
    for i in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    alive "$pid" && kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# Stops what the suite started, newest first, each by its own process id.
e2e_stop_all() {
    local i
    stop_player
    for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do end_process "${started_pids[i]}"; done
    started_pids=()
}

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# ---------------------------------------------------------------- desktop and sound server

e2e_require_tools() {
    local missing=() tool
    local server_tools=pulseaudio
    [ "$e2e_server" = pipewire ] && server_tools="pipewire wireplumber pipewire-pulse dbus-daemon"
    for tool in Xvfb openbox xdotool xprop xwininfo $server_tools pactl parec; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    [ -x "$velmyr_bin" ] || missing+=("$velmyr_bin (build the project)")
    [ -x "$probe" ] || missing+=("$probe (build the project)")
    if [ ${#missing[@]} -gt 0 ]; then
        echo "e2e: missing: ${missing[*]}" >&2
        echo "e2e: scripts/test.sh installs the packages (VELMYR_TEST_PACKAGES in scripts/packages.sh)" >&2
        return 1
    fi
}

# The sound server the player talks to: "pulseaudio", or "pipewire" for
# PipeWire with its PulseAudio service (VELMYR_E2E_SERVER, or run.sh --server).
e2e_server=${VELMYR_E2E_SERVER:-pulseaudio}
# PulseAudio runs without shared memory unless e2e_pulse_shm=yes: then with its
# own default transport, as desktops start it (the benchmarks use that).
e2e_pulse_shm=${e2e_pulse_shm:-no}

# Starts Xvfb on a display number of its own choosing, openbox, the sound
# server with the null sink, and a recorder of the sink's monitor. Sets DISPLAY
# and the sound server's variables for everything started afterwards.
e2e_start_desktop() {
    work=$(mktemp -d /tmp/velmyr-e2e.XXXXXX)
    mkdir -p "$work/xdg" "$work/home" "$work/pulse" "$work/tests"
    chmod 700 "$work/xdg" "$work/pulse"
    export XDG_RUNTIME_DIR=$work/xdg HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
    # A bus that is not there: no session bus of a desktop is used, none is autolaunched.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
    unset SESSION_MANAGER QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
        QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_STYLE_OVERRIDE QT_FONT_DPI
    export QT_QPA_PLATFORM=xcb

    Xvfb -displayfd 5 -screen 0 1920x1200x24 -dpi 96 -nolisten tcp -noreset \
        5>"$work/display" >"$work/xvfb.log" 2>&1 &
    started_pids+=($!)
    if ! wait_for 20 test -s "$work/display"; then
        echo "e2e: Xvfb did not start (see $work/xvfb.log)" >&2; return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"

    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    started_pids+=($!)
    if ! wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
        echo "e2e: openbox did not start (see $work/openbox.log)" >&2; return 1
    fi

    export PULSE_RUNTIME_PATH=$work/pulse PULSE_SERVER=unix:$work/pulse/native
    export PULSE_CLIENTCONFIG=$work/pulse/client.conf PULSE_COOKIE=$work/pulse/cookie
    printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
    start_sound_server || return 1
    start_recorder || return 1
    xdotool mousemove 0 0
}

# Starts the private sound server on its socket in $PULSE_RUNTIME_PATH; sets
# sound_pid, the process that serves the PulseAudio protocol, which the fault
# tests stop and kill. Started again after a test ended it, it takes the same
# socket and the same null sink.
start_sound_server() {
    if [ "$e2e_server" = pipewire ]; then
        start_pipewire || return 1
    else
        # As root PulseAudio warns but runs; -n skips the system's default script,
        # so the null sink is the only sink and nothing reaches real hardware.
        local shm=(--disable-shm=yes)
        [ "$e2e_pulse_shm" = yes ] && shm=()
        DISPLAY= pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
            "${shm[@]}" --log-target=stderr \
            -L "module-null-sink sink_name=$sink rate=44100 channels=2" \
            -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
            >>"$work/pulse.log" 2>&1 &
        sound_pid=$!
        started_pids+=($sound_pid)
    fi
    if ! wait_for 20 pactl info; then
        echo "e2e: the sound server did not start (see $work/pulse.log)" >&2; return 1
    fi
    if ! pactl list short sinks | grep -q "[[:space:]]$sink[[:space:]]"; then
        pactl load-module module-null-sink sink_name="$sink" rate=44100 channels=2 >/dev/null
    fi
    pactl set-default-sink "$sink"
}

# PipeWire, its session manager and a D-Bus session bus of their own (the
# player keeps the missing one) stay up for the whole run; the PulseAudio
# service in front of them is the sound server that the tests end and start.
# Its null sink, made through it, goes and comes back with it.
start_pipewire() {
    local bus=unix:path=$XDG_RUNTIME_DIR/bus
    if [ -z "${pipewire_pid:-}" ] || ! alive "$pipewire_pid"; then
        dbus-daemon --session --address="$bus" --nofork --nopidfile >>"$work/pulse.log" 2>&1 &
        started_pids+=($!)
        wait_for 20 test -S "$XDG_RUNTIME_DIR/bus" || { echo "e2e: no D-Bus session bus" >&2; return 1; }
        DBUS_SESSION_BUS_ADDRESS=$bus pipewire >>"$work/pulse.log" 2>&1 &
        pipewire_pid=$!
        started_pids+=($pipewire_pid)
        wait_for 20 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { echo "e2e: PipeWire did not start" >&2; return 1; }
        DBUS_SESSION_BUS_ADDRESS=$bus wireplumber >>"$work/pulse.log" 2>&1 &
        started_pids+=($!)
    fi
    DBUS_SESSION_BUS_ADDRESS=$bus pipewire-pulse >>"$work/pulse.log" 2>&1 &
    sound_pid=$!
    started_pids+=($sound_pid)
}

# Records the null sink's monitor into a new file, which `listen` reads from
# then on; sets recording and recorder_pid. The recorder ends with the server.
recordings=0
start_recorder() {
    recordings=$((recordings + 1))
    recording=$work/recording$recordings.raw
    parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
        >"$recording" 2>>"$work/parec.log" &
    recorder_pid=$!
    started_pids+=($recorder_pid)
    # The monitor takes a moment before its stream flows.
    if ! wait_for 20 sh -c "[ \$(stat -c %s '$recording') -gt 44100 ]"; then
        echo "e2e: the recorder of $sink.monitor does not run (see $work/parec.log)" >&2; return 1
    fi
}

# After a test that stopped or ended the sound server: the next test finds it
# running, with a recorder.
restore_sound_server() {
    kill -CONT "$sound_pid" 2>/dev/null
    if ! alive "$sound_pid"; then
        wait "$sound_pid" 2>/dev/null
        start_sound_server || return 1
    fi
    if ! alive "$recorder_pid"; then
        wait "$recorder_pid" 2>/dev/null
        start_recorder || return 1
    fi
}

# Folders of MP3 files for the tests, each file a tone of its own:
#   music/      a1250.mp3 b1600.mp3 c2000.mp3 (12 s each) and the folder steps/
#   music/steps steps.mp3: 24 s, 300 Hz rising by 100 Hz every 3 s
#   other/      m1600.mp3 (the tone of b1600.mp3 under another name)
#   broken/     a_broken.mp3 (text, not audio) and b_good.mp3 (1250 Hz)
e2e_make_music() {
    local fixtures=$here/fixtures
    music=$work/music; other=$work/other; broken=$work/broken
    mkdir -p "$music/steps" "$other" "$broken"
    cp "$fixtures/a1250.mp3" "$fixtures/b1600.mp3" "$fixtures/c2000.mp3" "$music/"
    cp "$fixtures/steps.mp3" "$music/steps/"
    cp "$fixtures/b1600.mp3" "$other/m1600.mp3"
    yes "this is not an mp3 file" | head -c 20000 >"$broken/a_broken.mp3"
    cp "$fixtures/a1250.mp3" "$broken/b_good.mp3"
}

# ---------------------------------------------------------------- the player

player_pid=""
win=""

# Starts the player from a copy of the binary in the test's folder, so that its
# settings file (beside the executable) is the test's own.
#   start_player [--folder DIR] [--cwd DIR] [--scale N] [--keep-settings] [-- ARGUMENTS...]
# --folder writes DIR into the settings file; --cwd is the folder the process
# starts in (both lists start there when no folder is stored); what follows
# "--" is the player's command line.
start_player() {
    local folder="" cwd=$work factor="" keep=0 args=()
    while [ $# -gt 0 ]; do
        case $1 in
            --) shift; args=("$@"); break ;;
            --folder) folder=$2; shift 2 ;;
            --cwd) cwd=$2; shift 2 ;;
            --scale) factor=$2; shift 2 ;;
            --keep-settings) keep=1; shift ;;
            *) echo "start_player: unknown option $1" >&2; return 1 ;;
        esac
    done
    app_dir=$test_dir/app
    mkdir -p "$app_dir"
    cp "$velmyr_bin" "$app_dir/velmyr"
    [ $keep = 1 ] || rm -f "$app_dir/velmyr.ini"
    [ -n "$folder" ] && printf '[velmyr]\npath=%s\n' "$folder" >"$app_dir/velmyr.ini"

    (cd "$cwd" && exec env ${factor:+QT_SCALE_FACTOR=$factor} "$app_dir/velmyr" "${args[@]}") >>"$test_dir/velmyr.log" 2>&1 &
    player_pid=$!
    scale=${factor:-1}
    await_player_window
}

# Waits for the player started as $player_pid to show its window and paint it; sets win.
await_player_window() {
    win=$(timeout 30 xdotool search --sync --onlyvisible --pid "$player_pid" --name "^$window_title\$" 2>/dev/null | head -n1)
    if [ -z "$win" ]; then
        fail "no window titled \"$window_title\" appeared within 30 s (log: $test_dir/velmyr.log)"
        return 1
    fi
    wait_painted
}

# Waits until the file list shows its olive background: the window is painted.
wait_painted() {
    local deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
        shot=$test_dir/painting.png
        "$probe" shot "$shot" 2>/dev/null && region 26 66 165 68 $olive 8 &&
            holds "$px_match >= 0.5" && { sleep 0.3; return 0; }
        sleep 0.2
    done
    fail "the window was not painted within 20 s"
    return 1
}

player_running() { [ -n "$player_pid" ] && alive "$player_pid"; }

# Waits up to $1 seconds for the player to end by itself; sets player_status.
wait_player_exit() {
    local deadline=$((SECONDS + $1))
    while player_running; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
    wait "$player_pid" 2>/dev/null
    player_status=$?
    player_pid=""
}

stop_player() {
    [ -n "$player_pid" ] && end_process "$player_pid"
    player_pid=""
    win=""
}

# Sets win_x win_y win_w win_h: the window's place on the screen.
window_geometry() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$win" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$')"
    win_x=${X:-0} win_y=${Y:-0} win_w=${WIDTH:-0} win_h=${HEIGHT:-0}
}

# True when the window is minimized: unmapped by the window manager, or hidden.
window_minimized() {
    xwininfo -id "$win" 2>/dev/null | grep -q 'Map State: IsUnMapped' && return 0
    xprop -id "$win" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN
}

# ---------------------------------------------------------------- the user's hand
# Positions are pixels relative to the window's top-left corner, scaled by
# $scale (the scale factor the player was started with).

scale=1
pointer_to() {
    window_geometry
    local x=$((win_x + $1 * scale)) y=$((win_y + $2 * scale)) X Y
    eval "$(xdotool getmouselocation --shell 2>/dev/null | grep -E '^[XY]=[0-9]+$')"
    # mousemove --sync waits for a motion that never comes when the pointer is
    # already there (about 15 s), so a repeated click must not move.
    [ "${X:-}" = "$x" ] && [ "${Y:-}" = "$y" ] && return 0
    timeout 10 xdotool mousemove --sync "$x" "$y"
}
now_ms() { date +%s%3N; }

# Two presses of a button closer together than the toolkit's double-click
# interval are a double-click, whatever the clicks were meant to be: a click
# on the pause label right after another is not a second click there. The
# interval is asked of Qt on the test display, once.
double_click_ms=""
last_click_ms=0
clicks_apart() {
    if [ -z "$double_click_ms" ]; then
        double_click_ms=$("$probe" double-click | sed -nE 's/.*interval_ms=([0-9]+).*/\1/p')
        [ -n "$double_click_ms" ] || { echo "e2e: cannot ask Qt for its double-click interval" >&2; double_click_ms=5000; }
    fi
    local wait_ms=$((last_click_ms + double_click_ms + 50 - $(now_ms)))
    [ "$wait_ms" -gt 0 ] && sleep "$(awk -v ms="$wait_ms" 'BEGIN { print ms / 1000 }')"
    return 0
}
# Clicks button 1 where the pointer is, $1 times (a double-click for 2), once
# no earlier click can pair with it. The pointer query in the same xdotool
# call returns only after the X server has taken the clicks, so their time is
# known from here on.
click_here() {
    clicks_apart
    xdotool click --repeat "${1:-1}" --delay 120 1 getmouselocation >/dev/null
    last_click_ms=$(now_ms)
}
click_at() { pointer_to "$1" "$2" && click_here 1; sleep 0.4; }
double_click_at() { pointer_to "$1" "$2" && click_here 2; sleep 0.4; }

# The centre of a control of the layout.
centre() {
    local x y w h
    read -r x y w h <<<"${rect[$1]}"
    echo "$((x + w / 2)) $((y + h / 2))"
}
click_control() { click_at $(centre "$1"); }

# The first entry of the file list: inside the top row for any row height.
first_file="60 70"
# The folder list shows the current folder in its top row and its first
# subfolder below it.
steps_folder_row="80 47"

# ---------------------------------------------------------------- what is heard

# Bytes of the recording so far, rounded down to whole sample frames.
recording_offset() { echo $(($(stat -c %s "$recording") / 4 * 4)); }

# Records for $1 seconds into $test_dir/$2.raw and analyses it; sets
# heard_seconds heard_loud_seconds heard_first_loud heard_first_freq heard_freq ...
# With listen_from set (a recording_offset taken earlier), the recording
# starts there instead.
listen() {
    local seconds=$1 name=$2 from to
    from=${listen_from:-$(recording_offset)}
    sleep "$seconds"
    to=$(recording_offset)
    dd if="$recording" of="$test_dir/$name.raw" bs=64K iflag=skip_bytes,count_bytes \
        skip="$from" count=$((to - from)) status=none
    local line
    line=$("$probe" audio "$test_dir/$name.raw") || { fail "cannot analyse $name.raw"; return 1; }
    eval "$(sed -E 's/([a-z_]+)=/heard_\1=/g' <<<"$line")"
    [ -n "${quiet:-}" ] ||
        e2e_log "$name: ${heard_loud_seconds}s of sound in ${heard_seconds}s, ${heard_freq} Hz (first ${heard_first_freq} Hz)"
}

# Waits up to $2 seconds (listening in short pieces) for what $1 names: "sound",
# "silence" or a frequency in Hz. Not a verdict: the listen after it judges;
# this only lets a slow machine catch up.
await() {
    local want=$1 limit=$2 deadline=$((SECONDS + $2)) piece=0
    while [ $SECONDS -lt $deadline ]; do
        piece=$((piece + 1))
        quiet=1 listen 0.3 "await_${want}_$piece" || return 1
        case $want in
            sound) holds "$heard_loud_seconds >= 0.2" && return 0 ;;
            silence) holds "$heard_loud_seconds == 0" && return 0 ;;
            *) holds "$heard_loud_seconds >= 0.2 && $heard_freq >= $want - 40 && $heard_freq <= $want + 40" && return 0 ;;
        esac
    done
    e2e_log "waited $limit s for $want in vain"
    return 1
}

describe_heard() { echo "${heard_loud_seconds}s of sound in ${heard_seconds}s, mostly ${heard_freq} Hz"; }

# After listen: the tone of $1 Hz sounded most of the time.
expect_tone() {
    local f=$1 what=$2
    if ! holds "$heard_seconds >= 0.2 && $heard_loud_seconds >= 0.6 * $heard_seconds && \
                $heard_freq >= $f - 40 && $heard_freq <= $f + 40"; then
        fail "$what: expected the ${f} Hz tone, heard $(describe_heard)"
    fi
}

# After listen: nothing sounded.
expect_silence() {
    local what=$1
    if ! holds "$heard_seconds >= 0.2 && $heard_loud_seconds <= 0.05"; then
        fail "$what: expected silence, heard $(describe_heard)"
    fi
}

# ---------------------------------------------------------------- what is seen

# Takes a screenshot into $test_dir/$1.png; region checks read the latest one.
shoot() {
    shot=$test_dir/$1.png
    "$probe" shot "$shot" || { fail "cannot take a screenshot"; return 1; }
}

# Statistics of a rectangle of the latest screenshot, relative to the window
# and scaled by $scale, against a colour; sets px_n px_maxr ... px_match px_bw ...
#   region X Y W H R G B TOLERANCE
region() {
    window_geometry
    local line
    line=$("$probe" region "$shot" $((win_x + $1 * scale)) $((win_y + $2 * scale)) $(($3 * scale)) \
        $(($4 * scale)) "$5" "$6" "$7" "$8") || { fail "cannot read $shot"; return 1; }
    eval "$(sed -E 's/([a-z]+)=/px_\1=/g' <<<"$line")"
}

# Statistics of a control's rectangle against a colour.
control_region() {
    local x y w h
    read -r x y w h <<<"${rect[$1]}"
    region "$x" "$y" "$w" "$h" $2 $3 $4 $5
}

# A label's text on the navy surface is lit (white) or at rest (grey).
# Antialiased white text reaches near white (a thin glyph such as "<" only about
# 200); grey text on navy never rises above 128 in red.
label_text_colour() {
    control_region "$1" $navy 12
    if [ "$px_bw" -eq 0 ]; then echo none
    elif [ "$px_maxr" -ge 170 ] && [ "$px_maxg" -ge 170 ]; then echo white
    elif [ "$px_maxr" -ge 90 ] && [ "$px_maxr" -le 150 ]; then echo grey
    else echo "other(max r=$px_maxr g=$px_maxg b=$px_maxb)"; fi
}

expect_label_colour() {
    local label=$1 want=$2 what=$3 got
    got=$(label_text_colour "$label")
    [ "$got" = "$want" ] || fail "$what: $label text is $got, expected $want"
}

# ---------------------------------------------------------------- running the tests

declare -a all_tests=()
e2e_test() { all_tests+=("$1"); }

run_one() {
    local name=$1
    test_dir=$work/tests/$name
    mkdir -p "$test_dir"
    test_failed=0
    test_skipped=""
    scale=1
    echo "--- $name"
    xdotool mousemove 0 0
    "test_$name" || test_failed=1
    stop_player
    restore_sound_server || test_failed=1
    if [ $test_failed = 0 ] && [ -n "$test_skipped" ]; then
        echo "SKIP $name ($test_skipped)"
        skipped=$((skipped + 1))
    elif [ $test_failed = 0 ]; then
        echo "PASS $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name (files in $test_dir)"
        if [ -s "$test_dir/velmyr.log" ]; then
            echo "    the player's output, last lines:"
            tail -n 20 "$test_dir/velmyr.log" | sed 's/^/    | /'
        fi
        failed=$((failed + 1))
    fi
}

e2e_main() {
    passed=0 failed=0 skipped=0
    local selected=("$@") name
    if [ ${#selected[@]} -eq 0 ]; then
        if [ "$e2e_server" = pipewire ]; then selected=($pipewire_tests); else selected=("${all_tests[@]}"); fi
    fi
    for name in "${selected[@]}"; do
        declare -F "test_$name" >/dev/null || { echo "e2e: no test named $name" >&2; exit 2; }
    done

    e2e_require_tools || { echo "0 passed, ${#selected[@]} failed"; exit 1; }
    trap 'e2e_stop_all' EXIT
    trap 'exit 130' INT TERM
    if ! e2e_start_desktop; then
        echo "0 passed, ${#selected[@]} failed"
        exit 1
    fi
    e2e_make_music
    echo "e2e: display $DISPLAY, sound server $e2e_server at $PULSE_SERVER, files in $work"

    for name in "${selected[@]}"; do run_one "$name"; done

    e2e_stop_all
    if [ $failed = 0 ] && [ "${VELMYR_E2E_KEEP:-0}" != 1 ]; then
        rm -rf "$work"
    else
        echo "e2e: recordings, screenshots and logs kept in $work"
    fi
    echo "$passed passed, $failed failed, $skipped skipped"
    [ $failed = 0 ]
}

# ---------------------------------------------------------------- the desktop's player controls

# A D-Bus session bus for the player's MPRIS objects: PipeWire's where it runs,
# else one started for the rest of the run. Sets session_bus. The player sees
# it only where a test hands it over (the others keep the missing one).
start_session_bus() {
    session_bus=unix:path=$XDG_RUNTIME_DIR/bus
    [ -S "$XDG_RUNTIME_DIR/bus" ] && return 0
    dbus-daemon --session --address="$session_bus" --nofork --nopidfile >>"$work/dbus.log" 2>&1 &
    started_pids+=($!)
    wait_for 20 test -S "$XDG_RUNTIME_DIR/bus" || { fail "no D-Bus session bus (see $work/dbus.log)"; return 1; }
}

# playerctl against the player on the test's session bus.
mpris() { DBUS_SESSION_BUS_ADDRESS=$session_bus timeout 20 playerctl --player=velmyr "$@" 2>>"$test_dir/playerctl.log"; }

# A property of the player's object, as dbus-send prints it.
#   mpris_property INTERFACE NAME
mpris_property() {
    DBUS_SESSION_BUS_ADDRESS=$session_bus timeout 20 dbus-send --session --print-reply \
        --dest=org.mpris.MediaPlayer2.velmyr /org/mpris/MediaPlayer2 \
        org.freedesktop.DBus.Properties.Get "string:$1" "string:$2" 2>>"$test_dir/playerctl.log"
}

# Calls a method of the player's root interface (playerctl has no Raise or Quit),
# or with "Player." before it of the player interface, with dbus-send's
# arguments after it; true when it was answered without an error.
mpris_root_call() {
    DBUS_SESSION_BUS_ADDRESS=$session_bus timeout 20 dbus-send --session --print-reply \
        --dest=org.mpris.MediaPlayer2.velmyr /org/mpris/MediaPlayer2 "org.mpris.MediaPlayer2.$1" "${@:2}" \
        >/dev/null 2>>"$test_dir/playerctl.log"
}

# Fails unless the root interface's property $1, as dbus-send prints it, holds $2.
expect_root_property() {
    mpris_property org.mpris.MediaPlayer2 "$1" | grep -q "$2" ||
        fail "$1 does not hold $2: $(mpris_property org.mpris.MediaPlayer2 "$1" | tr '\n' ' ')"
}

# Waits up to $1 seconds for playerctl's $2 to print $3.
mpris_shows() { wait_for "$1" eval "[ \"\$(mpris $2)\" = \"$3\" ]"; }

# ---------------------------------------------------------------- assistive technology

# The accessibility bus, switched on as a screen reader does, for programs
# started on the session bus afterwards. Sets session_bus.
start_accessibility_bus() {
    start_session_bus || return 1
    local -x DBUS_SESSION_BUS_ADDRESS=$session_bus
    alive "${a11y_pid:-0}" || { GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher --launch-immediately >>"$work/a11y.log" 2>&1 &
        a11y_pid=$!; started_pids+=($a11y_pid); }
    wait_for 20 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress ||
        { fail "no accessibility bus (see $work/a11y.log)"; return 1; }
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null
}
