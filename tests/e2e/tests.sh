# The end-to-end tests, sourced by run.sh after lib.sh. Each test_NAME starts
# the player afresh; run_one stops it afterwards. Checks go on after a failed
# one (fail records it); a test returns early only when going on is pointless.
#
# Waits are generous: the verdicts must hold on a loaded two-core machine. The
# tight figures belong to bench/e2e.

# What is heard, played again through PipeWire's PulseAudio service.
pipewire_tests="play_by_double_click next_and_previous pause_and_resume mute_while_playing_on stop
    end_of_file media_keys_transport
    sound_server_killed sound_server_terminated sound_server_stalled sound_server_stalled_many_plays"

e2e_test layout
test_layout() {
    start_player --folder "$music" || return 1
    window_geometry
    [ "$win_x $win_y $win_w $win_h" = "686 350 225 194" ] ||
        fail "window at $win_x,$win_y size ${win_w}x$win_h, expected 686,350 size 225x194"
    # The window manager drew no frame: the window is the whole of what is seen.
    local extents
    extents=$(xprop -id "$win" _NET_FRAME_EXTENTS 2>/dev/null)
    case $extents in *"= 0, 0, 0, 0"* | *"not found"* | "") ;; *) fail "the window manager framed the window: $extents" ;; esac
    shoot start || return 1

    # Title strip: one black band over the full width, no navy in it.
    region 0 0 225 17 $navy 10
    [ "$px_match" = 0.000 ] || fail "title strip has navy gaps (fraction $px_match)"
    region 0 0 3 17 $black 10
    holds "$px_match >= 0.9" || fail "title strip does not start black at the left edge"
    region 222 0 3 17 $black 10
    holds "$px_match >= 0.9" || fail "title strip does not reach the right edge in black"
    control_region Label1 $black 10
    holds "$px_maxr >= 220 && $px_maxg >= 220 && $px_maxb >= 220" || fail "no white title text"

    # Surface, folder list and file list in their colours and places.
    region 196 24 26 112 $navy 6
    holds "$px_match >= 0.99" || fail "surface right of the lists is not navy ($px_match)"
    region 26 26 165 34 $grey 8
    holds "$px_match >= 0.4" || fail "folder list is not grey ($px_match)"
    region 26 66 165 68 $olive 8
    holds "$px_match >= 0.5" || fail "file list is not olive ($px_match)"
    region 24 139 169 3 $navy 6
    holds "$px_match >= 0.99" || fail "something drawn between the file list and the button row"

    # At start, before the pointer came near: Label5 to Label9 white, Label4 and the status line grey.
    local label
    for label in Label5 Label6 Label7 Label8 Label9; do
        expect_label_colour "$label" white "at start"
    done
    expect_label_colour Label4 grey "at start"
    expect_label_colour Label10 grey "at start (the status line must show its text)"
}

e2e_test play_by_double_click
test_play_by_double_click() {
    start_player --folder "$music" || return 1
    listen 0.5 before
    expect_silence "before any click"
    double_click_at $first_file
    await sound 5
    listen 1.0 playing
    expect_tone 1250 "after a double-click on a1250.mp3"
    player_running || fail "the player ended"
}

e2e_test play_by_play_label
test_play_by_play_label() {
    start_player --folder "$music" || return 1
    click_at $first_file
    sleep 0.5
    listen 0.8 selected
    expect_silence "a single click on a file starts nothing"
    click_control Label5
    await sound 5
    listen 1.0 playing
    expect_tone 1250 "after selecting a1250.mp3 and clicking play"
}

e2e_test next_and_previous
test_next_and_previous() {
    start_player --folder "$music" || return 1
    double_click_at $first_file
    await sound 5
    listen 0.6 first
    expect_tone 1250 "first file"
    click_control Label8
    await 1600 5
    listen 0.6 next
    expect_tone 1600 "after next"
    click_control Label8
    await 2000 5
    listen 0.6 next2
    expect_tone 2000 "after next again"
    click_control Label8
    sleep 0.5
    listen 0.8 next_at_end
    expect_tone 2000 "next on the last file changes nothing"
    click_control Label9
    await 1600 5
    listen 0.6 previous
    expect_tone 1600 "after previous"
}

# steps.mp3 rises by 100 Hz every 3 s, so the tone heard tells the position.
e2e_test pause_and_resume
test_pause_and_resume() {
    start_player --folder "$music/steps" || return 1
    control_region Label6 $navy 12
    local pause_width=$px_bw
    double_click_at $first_file
    await sound 5
    sleep 3.3
    listen 0.4 before_pause
    local before=$heard_freq
    holds "$before >= 300" || { fail "steps.mp3 did not play: $(describe_heard)"; return 1; }
    click_control Label6
    await silence 3
    listen 1.0 paused
    expect_silence "after pause"
    until_seen 10 label_width_below Label6 "$pause_width" ||
        fail "the pause label's text did not change to the shorter \"  play\" (width $px_bw, was $pause_width)"
    sleep 5
    click_control Label6
    await sound 5
    listen 0.6 resumed
    # Resumed where it paused: the same step or the next one. A restart would
    # give 300 Hz, a position that ran on during the 7 s pause two steps more.
    if ! holds "$heard_first_freq >= $before - 40 && $heard_first_freq <= $before + 140 && $heard_loud_seconds > 0"; then
        fail "after resume: expected ${before} Hz or the next step, heard first ${heard_first_freq} Hz ($(describe_heard))"
    fi
    until_seen 10 label_width_is Label6 "$pause_width" ||
        fail "the pause label does not show \"  pause\" again (width $px_bw, was $pause_width)"
}

# The last seconds of a file are queued in the sound server long before they
# are heard: until then the file plays, and the controls act on it.
e2e_test end_of_file
test_end_of_file() {
    local ends=$work/ends
    mkdir -p "$ends"
    cp "$root/tests/fixtures/tone440.mp3" "$ends/a_tone.mp3"
    cp "$root/tests/fixtures/tone440-30ms.mp3" "$ends/b_short.mp3"
    start_player --folder "$ends" || return 1
    control_region Label6 $navy 12
    local pause_width=$px_bw start mark before
    # The whole 3 s file fits the sound server's queue: from the first sound
    # on, it is all written and its end is being drained.
    start=$(recording_offset)
    double_click_at $first_file
    await sound 5
    click_control Label6
    await silence 3
    quiet=1 listen_from=$start listen 0 before_pause
    before=$heard_loud_seconds
    listen 1.0 paused_near_end
    expect_silence "after a pause near the end"
    until_seen 10 label_width_below Label6 "$pause_width" ||
        fail "the pause label's text did not change to \"  play\" near the end"
    mark=$(recording_offset)
    click_control Label6
    await sound 5
    await silence 5
    listen_from=$mark listen 0 resumed_near_end
    # The rest of the tone, not nothing and not the file again: heard once in all.
    holds "$heard_loud_seconds >= 0.2 && $before + $heard_loud_seconds >= 2.6 && $before + $heard_loud_seconds <= 3.4 && $heard_freq >= 400 && $heard_freq <= 480" ||
        fail "after resume near the end: expected the rest of the 440 Hz tone after ${before}s of it, heard $(describe_heard)"
    # A file shorter than the sound server's prebuffer is heard too.
    mark=$(recording_offset)
    click_control Label8
    listen_from=$mark listen 1 short_file
    holds "$heard_loud_seconds >= 0.05" || fail "the 30 ms file was not heard: $(describe_heard)"
}

e2e_test mute_while_playing_on
test_mute_while_playing_on() {
    start_player --folder "$music/steps" || return 1
    double_click_at $first_file
    await sound 5
    sleep 0.5
    listen 0.4 before_mute
    local before=$heard_freq
    holds "$before >= 300" || { fail "steps.mp3 did not play: $(describe_heard)"; return 1; }
    click_control Label4
    await silence 3
    listen 1.0 muted
    expect_silence "after mute"
    sleep 4.5
    click_control Label4
    await sound 5
    listen 0.6 unmuted
    # About 7 s went by muted: the position went on by two steps or more.
    if ! holds "$heard_first_freq >= $before + 160 && $heard_loud_seconds > 0"; then
        fail "after unmute: expected ${before} Hz plus at least two steps, heard first ${heard_first_freq} Hz ($(describe_heard))"
    fi
}

e2e_test stop
test_stop() {
    start_player --folder "$music" || return 1
    double_click_at $first_file
    await sound 5
    listen 0.6 playing
    expect_tone 1250 "before stop"
    click_control Label7
    await silence 3
    listen 1.5 stopped
    expect_silence "after stop"
    # The selection stays: play starts the same file again.
    click_control Label5
    await sound 5
    listen 0.6 played_again
    expect_tone 1250 "play after stop"
}

# True when $1 is the only hover label lit on the latest screenshot ("none":
# all at rest).
only_lit() {
    local label want
    for label in $hover_labels; do
        want=grey
        [ "$label" = "$1" ] && want=white
        [ "$(label_text_colour "$label")" = "$want" ] || return 1
    done
}

e2e_test hover
test_hover() {
    start_player --folder "$music" || return 1
    local label want lit
    pointer_to 205 100  # the bare surface right of the lists
    until_seen 10 only_lit none
    for label in $hover_labels; do expect_label_colour "$label" grey "pointer on the surface"; done
    control_region Label10 $navy 12
    local long_width=$px_bw

    for lit in Label5 Label9 Label4 Label10; do
        pointer_to $(centre "$lit")
        until_seen 10 only_lit "$lit"
        for label in $hover_labels; do
            want=grey
            [ "$label" = "$lit" ] && want=white
            expect_label_colour "$label" "$want" "pointer over $lit"
        done
    done

    # Over the mute label the status line took the short wording, and kept it
    # over the status line itself; back on the surface it is long again.
    control_region Label10 $navy 12
    holds "$px_bw > 0 && $px_bw < $long_width" ||
        fail "status line not in its short wording over the mute label (width $px_bw, long $long_width)"
    pointer_to 205 100
    until_seen 10 label_width_is Label10 "$long_width" ||
        fail "status line not back to its long wording (width $px_bw, long $long_width)"
    expect_label_colour Label10 grey "pointer back on the surface"
}

e2e_test drag
test_drag() {
    start_player --folder "$music" || return 1
    drag_title 1 6 10 7
    expect_window_at 746 392 "after dragging the title by 60,42 with the left button"
    shoot dragged
    region 26 66 165 68 $olive 8
    holds "$px_match >= 0.5" || fail "the file list is not drawn at the window's new place"

    # A move with no button held, or with the right button alone, moves nothing.
    pointer_to 100 8
    xdotool mousemove_relative --sync 30 20
    sleep 0.5
    expect_window_at 746 392 "after a move with no button held"
    drag_title 3 4 10 5
    expect_window_at 746 392 "after a drag with the right button"

    # Nothing keeps the window on the screen.
    drag_title 1 19 -40 0
    expect_window_at -14 392 "after dragging it 760 pixels to the left"
}

# Presses button $1 on the title label, moves the pointer $2 times by $3,$4
# pixels and releases.
drag_title() {
    local button=$1 steps=$2 dx=$3 dy=$4 i
    pointer_to 100 8
    clicks_apart
    xdotool mousedown "$button"
    for ((i = 0; i < steps; i++)); do
        xdotool mousemove_relative --sync -- "$dx" "$dy"
        sleep 0.1
    done
    sleep 0.3
    xdotool mouseup "$button" getmouselocation >/dev/null
    last_click_ms=$(now_ms)
    sleep 0.5
}

window_near() {
    window_geometry
    [ $((win_x - $1)) -ge -2 ] && [ $((win_x - $1)) -le 2 ] && [ $((win_y - $2)) -ge -2 ] && [ $((win_y - $2)) -le 2 ]
}
expect_window_at() {
    local x=$1 y=$2 what=$3
    wait_for 10 window_near "$x" "$y" || fail "$what the window is at $win_x,$win_y, expected $x,$y"
}

e2e_test minimize_while_playing
test_minimize_while_playing() {
    start_player --folder "$music" || return 1
    double_click_at $first_file
    await sound 5
    click_at 5 8
    wait_for 10 window_minimized || fail "the window is not minimized after a click on \"  _\""
    listen 1.0 minimized
    expect_tone 1250 "playing on while minimized"
    player_running || fail "the player ended"
}

e2e_test close_and_restore_folder
test_close_and_restore_folder() {
    # First start without settings: the lists start in the current folder.
    start_player --cwd "$music" || return 1
    double_click_at $first_file
    await sound 5
    listen 0.6 first_run
    expect_tone 1250 "a1250.mp3 of the starting folder"
    # Open the subfolder steps/: the second row of the folder list, below the
    # current folder. The track plays on.
    double_click_at $steps_folder_row
    sleep 0.5
    listen 0.6 folder_opened
    expect_tone 1250 "the track playing on after opening another folder"
    double_click_at $first_file
    await 300 5
    listen 0.6 steps_played
    expect_tone 300 "steps.mp3, the first file of the opened folder"
    click_control Label3
    wait_player_exit 15 || { fail "the player did not end after a click on \"  X\""; return 1; }
    [ "$player_status" = 0 ] || fail "the player ended with status $player_status"
    await silence 3
    listen 1.0 after_close
    expect_silence "after close"
    if ! grep -qx '\[velmyr\]' "$app_dir/velmyr.ini" 2>/dev/null ||
        ! grep -Eqx "path *= *$music/steps" "$app_dir/velmyr.ini"; then
        fail "the settings file does not hold path=$music/steps: $(tr '\n' '|' <"$app_dir/velmyr.ini" 2>/dev/null)"
    fi

    # Second start from another folder: the stored folder is shown, so its
    # first file is the one that plays.
    start_player --cwd "$other" --keep-settings || return 1
    double_click_at $first_file
    await sound 5
    listen 0.8 second_run
    expect_tone 300 "the first file of the restored folder"
}

e2e_test broken_file_then_good_one
test_broken_file_then_good_one() {
    start_player --folder "$broken" || return 1
    double_click_at $first_file
    sleep 1
    listen 1.0 broken
    expect_silence "a_broken.mp3"
    player_running || { fail "the player ended on a broken file"; return 1; }
    click_control Label8
    await sound 5
    listen 1.0 good
    expect_tone 1250 "b_good.mp3 after the broken one"
}

# At twice the scale every part of the window doubles, in place, and nothing
# overlaps or is cut off: each label's text is as wide as at scale 1, doubled.
e2e_test scale_two
test_scale_two() {
    local label
    declare -A width_at_one
    start_player --folder "$music" || return 1
    shoot scale1
    for label in $hover_labels Label1; do
        if [ "$label" = Label1 ]; then control_region "$label" $black 12; else control_region "$label" $navy 12; fi
        width_at_one[$label]=$px_bw
    done
    stop_player

    start_player --folder "$music" --scale 2 || return 1
    window_geometry
    [ "$win_x $win_y $win_w $win_h" = "1372 700 450 388" ] ||
        fail "at scale 2 the window is at $win_x,$win_y size ${win_w}x$win_h, expected 1372,700 size 450x388"
    shoot scale2
    region 0 0 225 17 $navy 10
    [ "$px_match" = 0.000 ] || fail "title strip has navy gaps at scale 2"
    region 196 24 26 112 $navy 6
    holds "$px_match >= 0.99" || fail "surface right of the lists is not navy at scale 2 ($px_match)"
    region 26 26 165 34 $grey 8
    holds "$px_match >= 0.4" || fail "folder list is not grey at scale 2 ($px_match)"
    region 26 66 165 68 $olive 8
    holds "$px_match >= 0.5" || fail "file list is not olive at scale 2 ($px_match)"
    # The gaps of the button row stay bare.
    local gap
    for gap in "33 144 7 17" "65 144 7 17" "113 144 7 17" "145 144 7 17" "161 144 7 17" "24 161 169 7"; do
        region $gap $navy 10
        holds "$px_match >= 0.99" || fail "something drawn in the gap $gap (scale-1 pixels) at scale 2"
    done
    for label in $hover_labels Label1; do
        if [ "$label" = Label1 ]; then control_region "$label" $black 12; else control_region "$label" $navy 12; fi
        local one=${width_at_one[$label]}
        if ! holds "$one > 0 && $px_bw >= 1.7 * $one && $px_bw <= 2.3 * $one"; then
            fail "$label text $px_bw px wide at scale 2, $one px at scale 1"
        fi
    done
}

# ---------------------------------------------------------------- the sound server fails
# The player's output goes to the sound server from a playback thread; the
# window's handlers only post commands. Whatever the server does, the window
# must go on answering, and a server that comes back must be used again by the
# next file, without a restart of the player.

# Takes screenshots until the command in the remaining arguments holds on the
# latest one, for up to $1 seconds; sets took_ms, the time from the call until
# it held.
until_seen() {
    local limit=$1; shift
    local start deadline
    start=$(now_ms)
    deadline=$((SECONDS + limit))
    while :; do
        if shoot seen && "$@"; then took_ms=$(($(now_ms) - start)); return 0; fi
        if [ $SECONDS -ge $deadline ]; then took_ms=$(($(now_ms) - start)); return 1; fi
        sleep 0.1
    done
}
label_is() { [ "$(label_text_colour "$1")" = "$2" ]; }
label_width_is() { control_region "$1" $navy 12; [ "$px_bw" = "$2" ]; }
label_width_below() { control_region "$1" $navy 12; holds "$px_bw > 0 && $px_bw < $2"; }

# The widths of the captions as the window shows them at rest: pause_width
# ("  pause"), play_width ("  play"), mute_width (" m"), status_long (the long
# wording of the status line).
measure_captions() {
    pointer_to 205 100
    until_seen 10 label_is Label4 grey || { fail "no label at rest on the bare surface"; return 1; }
    control_region Label6 $navy 12; pause_width=$px_bw
    control_region Label4 $navy 12; mute_width=$px_bw
    control_region Label10 $navy 12; status_long=$px_bw
}

# Hover and captions answer within a generous limit; logs how long each took.
# Given "hover", only the hover.
#   expect_window_answers WHAT [hover]
expect_window_answers() {
    local what=$1 only=${2:-} hover pause resume mute unmute
    timeout 5 xprop -id "$win" WM_NAME >/dev/null || fail "$what: the window's properties do not answer"
    player_running || { fail "$what: the player ended"; return 1; }
    # Over the mute label: it lights and the status line takes its short wording.
    pointer_to $(centre Label4)
    if until_seen 10 eval 'label_is Label4 white && label_width_below Label10 $status_long'; then
        hover=$took_ms
    else
        fail "$what: the mute label did not light, or the status line kept its wording, within 10 s"
        return 1
    fi
    pointer_to 205 100
    until_seen 10 label_is Label4 grey || fail "$what: the mute label stayed lit on the bare surface"
    if [ "$only" = hover ]; then
        e2e_log "$what: seen after hover $hover ms"
        return 0
    fi
    pointer_to $(centre Label6)
    click_here
    until_seen 10 label_width_below Label6 $pause_width && pause=$took_ms ||
        fail "$what: the pause label did not turn to \"  play\" within 10 s"
    click_here
    until_seen 10 label_width_is Label6 $pause_width && resume=$took_ms ||
        fail "$what: the pause label did not turn back to \"  pause\" within 10 s"
    pointer_to $(centre Label4)
    click_here
    until_seen 10 eval '! label_width_is Label4 $mute_width' && mute=$took_ms ||
        fail "$what: the mute label did not turn to \" un\" within 10 s"
    click_here
    until_seen 10 label_width_is Label4 $mute_width && unmute=$took_ms ||
        fail "$what: the mute label did not turn back to \" m\" within 10 s"
    pointer_to 205 100
    e2e_log "$what: seen after hover ${hover:-?} ms, pause ${pause:-?} ms, resume ${resume:-?} ms," \
        "mute ${mute:-?} ms, unmute ${unmute:-?} ms (a screenshot takes part of that)"
}

# CPU seconds the player has used so far (user and system).
player_cpu_seconds() {
    sed -E 's/.*\) //' "/proc/$player_pid/stat" | awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($12 + $13) / hz }'
}

# Over $1 seconds the player keeps to a small share of one core: nothing spins
# on a failed or stuck output. Logs the share.
#   expect_player_idle SECONDS WHAT
expect_player_idle() {
    local seconds=$1 what=$2 before after share
    before=$(player_cpu_seconds)
    sleep "$seconds"
    after=$(player_cpu_seconds)
    share=$(awk "BEGIN { printf \"%.2f\", ($after - $before) / $seconds }")
    e2e_log "$what: the player used ${share} of a core for ${seconds} s"
    holds "$share <= 0.3" || fail "$what: the player used ${share} of a core for ${seconds} s (a spinning thread?)"
}

# A file plays; the server ends by signal $1; the window answers, a file
# played meanwhile is not heard anywhere and stops nothing; the server comes
# back on the same socket and the next file played is heard.
#   sound_server_goes SIGNAL [paused]
sound_server_goes() {
    local signal=$1 when=${2:-playing} start
    start_player --folder "$music" || return 1
    measure_captions || return 1
    start=$(now_ms)
    double_click_at $first_file
    await sound 5 && e2e_log "server running: a1250.mp3 heard $(($(now_ms) - start)) ms after the double-click"
    listen 0.6 playing
    expect_tone 1250 "before the server ends"
    [ "$signal" = KILL ] && expect_window_answers "server running (for comparison)"
    if [ "$when" = paused ]; then
        click_control Label6
        await silence 3
    fi

    disown "$sound_pid" "$recorder_pid" 2>/dev/null  # no job notice of their end
    kill -"$signal" "$sound_pid"
    wait_for 10 sh -c "! kill -0 $sound_pid" || { fail "the sound server did not end on SIG$signal"; return 1; }
    e2e_log "sound server ended by SIG$signal"
    sleep 1
    player_running || { fail "the player ended with the sound server"; return 1; }
    if [ "$when" = paused ]; then
        # Resumed into the output that is gone: the file ends there.
        click_control Label6
    fi
    expect_window_answers "server gone"

    # Played with no server: the next file of the list, into no output.
    click_control Label8
    double_click_at $first_file
    click_control Label8
    expect_window_answers "server gone, after playing on" hover
    expect_player_idle 3 "server gone, a file playing into no output"

    start_sound_server || { fail "the sound server did not start again"; return 1; }
    start_recorder || { fail "the recorder did not start again"; return 1; }
    start=$(now_ms)
    click_control Label5
    if await 1600 10; then
        e2e_log "server back: b1600.mp3 heard $(($(now_ms) - start)) ms after the click on play"
    fi
    listen 0.8 server_back
    expect_tone 1600 "play after the server came back"
    player_running || fail "the player ended"
}

e2e_test sound_server_killed
test_sound_server_killed() { sound_server_goes KILL; }

# The same with a clean end of the server, and a file paused when it ends.
e2e_test sound_server_terminated
test_sound_server_terminated() { sound_server_goes TERM paused; }

# The server stops (SIGSTOP) while a file plays: the playback thread blocks in
# the output, the window must not. After SIGCONT the next file is heard. A
# close while the server is stopped ends the program at once, settings written.
e2e_test sound_server_stalled
test_sound_server_stalled() {
    local start
    start_player --folder "$music" || return 1
    measure_captions || return 1
    double_click_at $first_file
    await sound 5
    listen 0.6 playing
    expect_tone 1250 "before the server stops"

    kill -STOP "$sound_pid"
    sleep 1
    expect_window_answers "server stopped"
    expect_player_idle 3 "server stopped"
    # Stop, then another file: both commands return while the output is stuck.
    # The double-click's handler turns the pause label back from "  play".
    click_control Label7
    click_control Label6
    until_seen 10 label_width_below Label6 $pause_width || fail "server stopped: pause after stop did not turn its label"
    pointer_to 60 70
    click_here 2
    if until_seen 10 label_width_is Label6 $pause_width; then
        e2e_log "server stopped: a double-click on a file answered (pause label turned back) after $took_ms ms"
    else
        fail "server stopped: the pause label did not turn back to \"  pause\" within 10 s of a double-click on a file"
    fi
    click_control Label8
    expect_window_answers "server stopped, after stop, double-click and next" hover

    kill -CONT "$sound_pid"
    start=$(now_ms)
    if await 1600 10; then
        e2e_log "server going again: b1600.mp3, played while it was stopped, heard after $(($(now_ms) - start)) ms"
    else
        fail "b1600.mp3, played while the server was stopped, was not heard within 10 s of its going on"
    fi
    start=$(now_ms)
    click_control Label9
    if await 1250 10; then
        e2e_log "server going again: a1250.mp3 heard $(($(now_ms) - start)) ms after the click on previous"
    fi
    listen 0.8 server_going_again
    expect_tone 1250 "previous after the server went on again"

    kill -STOP "$sound_pid"
    sleep 1
    pointer_to $(centre Label3)
    clicks_apart
    start=$(now_ms)
    click_here
    if wait_player_exit 5; then
        e2e_log "server stopped: the player ended $(($(now_ms) - start)) ms after the click on close"
        [ "$player_status" = 0 ] || fail "the player ended with status $player_status"
    else
        fail "the player did not end within 5 s of a click on close while the server was stopped"
    fi
    kill -CONT "$sound_pid"
    grep -Eqx "path *= *$music" "$app_dir/velmyr.ini" 2>/dev/null ||
        fail "the settings file does not hold path=$music: $(tr '\n' '|' <"$app_dir/velmyr.ini" 2>/dev/null)"
}

# Many files chosen while the server is stopped: each one's output waits to
# connect, or gives up at once when the server's queue of connections is full
# (that file then plays silently). After SIGCONT every waiting playback thread
# ends, the player keeps no thread or connection of them, and the next file
# played is heard.
e2e_test sound_server_stalled_many_plays
test_sound_server_stalled_many_plays() {
    local i threads fds
    start_player --folder "$music" || return 1
    measure_captions || return 1
    double_click_at $first_file
    await sound 5
    sleep 1
    threads=$(player_threads) fds=$(player_fds)
    kill -STOP "$sound_pid"
    sleep 0.5
    for i in 1 2 3 4 5; do click_control Label8; click_control Label9; done
    e2e_log "server stopped: $(player_threads) threads and $(player_fds) open files after 10 plays" \
        "(one file playing: $threads threads, $fds open files)"
    expect_window_answers "server stopped, after 10 plays" hover
    kill -CONT "$sound_pid"
    if await 1250 5; then
        e2e_log "server going again: a1250.mp3, chosen last while it was stopped, is heard"
    else
        e2e_log "server going again: a1250.mp3, chosen last while it was stopped, is not heard (its output was refused)"
    fi
    click_control Label8
    await 1600 10
    listen 0.6 next_after_stall
    expect_tone 1600 "next after the server went on again"
    if wait_for 10 eval '[ $(player_threads) -le $threads ] && [ $(player_fds) -le $fds ]'; then
        e2e_log "server going again: back to $(player_threads) threads and $(player_fds) open files"
    else
        fail "after the server went on again: $(player_threads) threads and $(player_fds) open files," \
            "expected at most $threads and $fds as with one file playing before"
    fi
}
player_threads() { ls "/proc/$player_pid/task" | wc -l; }
player_fds() { ls "/proc/$player_pid/fd" | wc -l; }

# ---------------------------------------------------------------- the desktop's player controls
# The media keys, the desktop's media widget and playerctl reach the player
# over MPRIS 2 on the session bus; playerctl stands in for all of them.

# Waits until the player started with the bus is on it, and checks what it
# says of itself before anything plays.
await_on_bus() {
    mpris_shows 20 status Stopped || { fail "the player did not come on the session bus as velmyr within 20 s"; return 1; }
}

# Starts the player (start_player's arguments) on a session bus of the test's
# own, and waits until it is on the bus. Sets DBUS_SESSION_BUS_ADDRESS, which
# the calling test declares with local -x, so that the bus ends with the test.
start_player_on_bus() {
    start_session_bus || return 1
    DBUS_SESSION_BUS_ADDRESS=$session_bus
    start_player "$@" || return 1
    await_on_bus
}

e2e_test media_keys_transport
test_media_keys_transport() {
    local -x DBUS_SESSION_BUS_ADDRESS
    start_player_on_bus --folder "$music" || return 1
    measure_captions || return 1
    # Every status the player announces, in order.
    DBUS_SESSION_BUS_ADDRESS=$session_bus playerctl --player=velmyr --follow status >"$test_dir/statuses" 2>&1 &
    local follower=$!
    started_pids+=($follower)

    click_at $first_file
    mpris play-pause
    await 1250 5
    listen 0.6 play_pause_stopped
    expect_tone 1250 "play-pause with nothing playing: the selected a1250.mp3"
    mpris_shows 10 status Playing || fail "status after play-pause: $(mpris status), expected Playing"
    mpris_shows 10 "metadata xesam:title" a1250.mp3 || fail "title while a1250.mp3 plays: $(mpris metadata xesam:title)"
    mpris metadata xesam:url | grep -q "^file://.*/music/a1250.mp3$" || fail "url: $(mpris metadata xesam:url)"

    mpris play-pause
    await silence 3
    listen 1.0 paused
    expect_silence "after play-pause while playing"
    until_seen 10 label_width_below Label6 "$pause_width" || fail "play-pause did not turn the pause caption to \"  play\""
    mpris_shows 10 status Paused || fail "status after the pause: $(mpris status), expected Paused"
    mpris play-pause
    await 1250 5
    listen 0.6 resumed
    expect_tone 1250 "after play-pause while paused"
    until_seen 10 label_width_is Label6 "$pause_width" || fail "play-pause did not turn the pause caption back"
    # Play while playing and pause while paused change nothing; play resumes.
    local track
    track=$(mpris metadata mpris:trackid)
    mpris play
    listen 0.6 play_while_playing
    expect_tone 1250 "play while playing"
    [ "$(mpris metadata mpris:trackid)" = "$track" ] || fail "play while playing started a1250.mp3 again"
    mpris pause
    mpris pause
    await silence 3
    listen 1.0 paused_twice
    expect_silence "after pause twice"
    mpris play
    await 1250 5
    listen 0.6 play_while_paused
    expect_tone 1250 "play while paused"

    mpris next
    await 1600 5
    listen 0.6 next
    expect_tone 1600 "after next"
    mpris_shows 10 "metadata xesam:title" b1600.mp3 || fail "title after next: $(mpris metadata xesam:title)"
    mpris previous
    await 1250 5
    listen 0.6 previous
    expect_tone 1250 "after previous"
    mpris stop
    mpris pause
    await silence 3
    listen 1.0 stopped
    expect_silence "after stop, and pause while stopped"
    mpris_shows 10 status Stopped || fail "status after stop: $(mpris status), expected Stopped"

    # A file that ends by itself is announced as stopped.
    mpris play
    await 1250 5 || fail "play after stop: nothing heard"
    mpris_shows 10 status Playing || fail "status after play: $(mpris status), expected Playing"
    await silence 20 || fail "a1250.mp3 did not end within 20 s"
    wait_for 10 eval '[ "$(tail -n1 "$test_dir/statuses")" = Stopped ]' ||
        fail "the end of the file was not announced: $(tr '\n' ' ' <"$test_dir/statuses")"
    e2e_log "statuses announced: $(tr '\n' ' ' <"$test_dir/statuses")"
    end_process "$follower"
    return 0
}

# Started with a file, the player opens its folder and plays it as a
# double-click on it would; with a path that is not there, it says so in one
# line and starts in the remembered folder.
e2e_test open_with_arguments
test_open_with_arguments() {
    start_player --folder "$other" -- "$work/no-such.mp3" "$music/b1600.mp3" || return 1
    await 1600 5
    listen 0.6 argument
    expect_tone 1600 "started with b1600.mp3"
    # b1600.mp3 is the selected entry of music/: next is c2000.mp3.
    click_control Label8
    await 2000 5 || fail "next after a start with b1600.mp3: c2000.mp3 not heard"
    stop_player

    start_player --folder "$music" -- "$work/missing.mp3" || return 1
    local lines
    lines=$(grep -c "missing.mp3" "$test_dir/velmyr.log")
    [ "$lines" = 1 ] || fail "$lines lines on the missing path, expected one: $(cat "$test_dir/velmyr.log")"
    listen 1.0 missing
    expect_silence "started with a missing file"
    double_click_at $first_file
    await 1250 5 || fail "the remembered folder music/ is not shown after a start with a missing file"
}

# A second start with a file hands it to the copy on the bus, which plays it
# in its one window; the bus names the file heard, and refuses what it cannot
# open.
e2e_test open_with_one_window
test_open_with_one_window() {
    local -x DBUS_SESSION_BUS_ADDRESS
    start_player_on_bus --folder "$music" || return 1
    expect_root_property SupportedUriSchemes '"file"'
    mkdir -p "$test_dir/upper"
    cp "$music/c2000.mp3" "$test_dir/upper/c.MP3"
    local started=$(now_ms) status=0
    (cd "$work" && timeout 20 "$app_dir/velmyr" "$test_dir/upper/c.MP3") >>"$test_dir/second.log" 2>&1 || status=$?
    e2e_log "the second start ended with status $status after $(($(now_ms) - started)) ms"
    [ $status = 0 ] || fail "the second start ended with status $status"
    await 2000 10 || fail "c.MP3 handed to the running copy is not heard"
    mpris_shows 10 "metadata xesam:title" c.MP3 || fail "title after the handover: $(mpris metadata xesam:title)"
    local windows
    windows=$(xdotool search --onlyvisible --name "^$window_title\$" | wc -l)
    [ "$windows" = 1 ] || fail "$windows windows after the handover, expected one"

    mpris_root_call Player.OpenUri string:http://example.org/a.mp3 && fail "OpenUri took an http:// URI"
    listen 0.6 after_http
    expect_tone 2000 "after OpenUri with an http:// URI"

    # Back in music/: a1250.mp3 plays while the last entry is selected, and
    # next there leaves it playing: the bus goes on naming it.
    stop_player
    start_player --folder "$music" -- "$music/a1250.mp3" || return 1
    await 1250 5 || fail "a1250.mp3 given at start is not heard"
    mpris_shows 20 status Playing || fail "the player did not come on the bus playing a1250.mp3"
    local track
    track=$(mpris metadata mpris:trackid)
    xdotool key End
    mpris next
    listen 0.6 next_on_last
    expect_tone 1250 "next on the last entry (End selects it) leaves a1250.mp3 playing"
    mpris metadata xesam:url | grep -q "/music/a1250.mp3$" || fail "url after next on the last entry: $(mpris metadata xesam:url)"
    [ "$(mpris metadata mpris:trackid)" = "$track" ] || fail "next on the last entry announced a new track"
    holds "$(mpris metadata mpris:length) > 10000000" || fail "length: $(mpris metadata mpris:length)"
}

e2e_test media_keys_raise_quit
test_media_keys_raise_quit() {
    local -x DBUS_SESSION_BUS_ADDRESS
    start_player_on_bus --cwd "$music" || return 1
    expect_root_property Identity "\"$window_title\""
    expect_root_property DesktopEntry '"velmyr"'

    # A second copy takes a name of its own.
    mkdir -p "$test_dir/second"
    cp "$velmyr_bin" "$test_dir/second/velmyr"
    (cd "$work" && exec "$test_dir/second/velmyr") >>"$test_dir/second.log" 2>&1 &
    local second=$!
    wait_for 20 sh -c "DBUS_SESSION_BUS_ADDRESS=$session_bus playerctl --list-all | grep -qx velmyr.instance$second" ||
        fail "a second copy is not on the bus as velmyr.instance$second: $(DBUS_SESSION_BUS_ADDRESS=$session_bus playerctl --list-all | tr '\n' ' ')"
    end_process "$second"

    double_click_at $steps_folder_row
    click_at 5 8
    wait_for 10 window_minimized || { fail "the window is not minimized after a click on \"  _\""; return 1; }
    mpris_root_call Raise || fail "Raise was not answered"
    wait_for 10 eval '! window_minimized' || fail "the window is still minimized after Raise"

    mpris_root_call Quit || fail "Quit was not answered"
    wait_player_exit 15 || { fail "the player did not end after quit"; return 1; }
    [ "$player_status" = 0 ] || fail "the player ended with status $player_status"
    grep -Eqx "path *= *$music/steps" "$app_dir/velmyr.ini" 2>/dev/null ||
        fail "the settings file does not hold path=$music/steps: $(tr '\n' '|' <"$app_dir/velmyr.ini" 2>/dev/null)"
}

# ---------------------------------------------------------------- assistive technology
# A screen reader's user reaches the player through the accessibility bus
# alone: the labels are buttons named for what a click does now, the lists'
# entries have default actions, and the status line is a status bar.

atspi() { timeout 30 /usr/bin/python3 "$here/atspi_driver.py" "$@" 2>>"$test_dir/atspi.log"; }
# True when `atspi buttons` lists a button reading NAME|PRESSED.
button_reads() { grep -qx ".*|$1|$2" <<<"$(atspi buttons)"; }
status_reads() { [ "$(atspi status)" = "status bar|$1" ]; }

e2e_test screen_reader
test_screen_reader() {
    local -x DBUS_SESSION_BUS_ADDRESS
    start_accessibility_bus || return 1
    DBUS_SESSION_BUS_ADDRESS=$session_bus  # the player's and the driver's
    start_player --folder "$music" || return 1
    control_region Label6 $navy 12
    local pause_width=$px_bw names
    wait_for 30 button_reads Pause 0 || { fail "no button \"Pause\" on the accessibility bus"; return 1; }
    names=$(atspi buttons | cut -d'|' -f2 | sort | tr '\n' ' ')
    [ "$names" = "Close Minimize Mute Next Pause Play Previous Stop " ] || fail "the buttons are named $names"

    atspi activate Files b1600.mp3 || fail "cannot activate the entry b1600.mp3"
    await 1600 10
    listen 0.6 activated
    expect_tone 1600 "after activating b1600.mp3"

    atspi press Pause || fail "cannot press \"Pause\""
    await silence 5
    listen 0.6 paused
    expect_silence "after pressing Pause"
    wait_for 10 button_reads Resume 1 || fail "after the press the pause button is not \"Resume\", pressed"
    until_seen 10 label_width_below Label6 "$pause_width" || fail "the pause label's caption did not turn over"

    atspi activate Folders steps || fail "cannot activate the folder entry steps"
    wait_for 20 eval '[ "$(atspi entries Files)" = steps.mp3 ]' ||
        fail "activating the folder did not open it: the files are $(atspi entries Files | tr '\n' ' ')"
    pointer_to 60 100
    wait_for 20 status_reads "(1) mp3's in this dir" || fail "the status bar reads \"$(atspi status)\""
}

# Orca, Debian's screen reader, on the test's accessibility bus, with its
# speech off: its debug log holds a "SPEECH OUTPUT: '...'" line for each thing
# it would say. Written to a file, the log is held back in Orca's buffer; on a
# terminal each line comes at once, so Orca runs on one (script) whose output
# is the log. Sets orca_log and orca_pid; the caller ends it.
start_orca() {
    command -v orca >/dev/null || { fail "orca is missing (scripts/test.sh installs VELMYR_TEST_PACKAGES)"; return 1; }
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:ScreenReaderEnabled variant:boolean:true >/dev/null
    orca_log=$test_dir/orca.log orca_mark=0
    GSETTINGS_BACKEND=memory script --quiet --flush --command \
        "orca --disable speech --user-prefs '$test_dir/orca-prefs' --debug-file=/dev/tty" "$orca_log" \
        </dev/null >/dev/null 2>&1 &
    orca_pid=$!
    started_pids+=($orca_pid)
    wait_for 30 grep -q "ORCA: Initialized" "$orca_log" || { fail "orca did not start (see $orca_log)"; return 1; }
}
# Presses the key $1 and waits up to 20 s for Orca to say $2 (one utterance,
# as its log quotes it) after the press.
orca_key_says() {
    orca_mark=$(wc -l <"$orca_log")
    xdotool key "$1"
    wait_for 20 orca_said "$2" || fail "after $1 Orca did not say \"$2\"; it said: $(orca_spoken | tr '\n' ' ')"
}
orca_spoken() { tail -n +$((orca_mark + 1)) "$orca_log" | sed -nE "s/.*SPEECH OUTPUT: '(.*)' ?\{.*/\1/p"; }
orca_said() { orca_spoken | grep -qxF "$1"; }

# Without a mouse: the screen reader names the entries as the keys move, and
# Enter plays the file or opens the folder that it named. (Keypad Enter is
# Orca's own key in its desktop layout, so Return stands for both here.)
e2e_test screen_reader_keys
test_screen_reader_keys() {
    local -x DBUS_SESSION_BUS_ADDRESS
    start_accessibility_bus || return 1
    DBUS_SESSION_BUS_ADDRESS=$session_bus
    start_orca || return 1
    keys_with_orca
    end_process "$orca_pid"
}
keys_with_orca() {
    start_player --folder "$music" || return 1
    wait_for 30 orca_said "Files." || fail "Orca did not say \"Files.\" at start: $(orca_spoken | tr '\n' ' ')"
    orca_said "List with 3 items." || fail "Orca did not say \"List with 3 items.\" at start"
    listen 0.5 before
    expect_silence "before Enter"

    orca_key_says Down "b1600.mp3."
    xdotool key Return
    await 1600 10
    listen 0.6 return_on_b1600
    expect_tone 1600 "Return on b1600.mp3"

    orca_key_says Tab "Folders."
    orca_key_says End "steps."
    xdotool key Return
    orca_key_says Tab "Files."
    wait_for 10 orca_said "List with 1 item." ||
        fail "Return on steps did not open it: the file list is not a list of one: $(orca_spoken | tr '\n' ' ')"
    xdotool key Return
    await 300 10
    listen 0.6 return_on_steps
    expect_tone 300 "Return on steps.mp3, the entry with the cursor in steps/"
}

# ---------------------------------------------------------------- small screens
# A desktop scaled up on a small screen, a screen of the test's own; the
# suite's helpers take whole scale factors only, so pixels are placed here.

e2e_test small_screen_scaled
test_small_screen_scaled() {
    local -x DISPLAY
    local factor=1.75 screen_pids=()
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 5>"$test_dir/display" >/dev/null 2>&1 &
    screen_pids+=($!)
    wait_for 20 test -s "$test_dir/display" || { fail "no Xvfb with a small screen"; return 1; }
    DISPLAY=":$(head -n1 "$test_dir/display")"
    openbox --sm-disable >/dev/null 2>&1 &
    screen_pids+=($!)
    started_pids+=("${screen_pids[@]}")
    wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || { fail "no openbox"; return 1; }
    mkdir -p "$test_dir/app" && cp "$velmyr_bin" "$test_dir/app/velmyr"
    printf '[velmyr]\npath=%s\n' "$music" >"$test_dir/app/velmyr.ini"
    QT_SCALE_FACTOR=$factor "$test_dir/app/velmyr" >>"$test_dir/velmyr.log" 2>&1 &
    player_pid=$!
    win=$(timeout 30 xdotool search --sync --onlyvisible --pid "$player_pid" --name "^$window_title\$" | head -n1)
    [ -n "$win" ] || { fail "no window at scale $factor"; return 1; }
    window_geometry
    # The fixed place, (1200, 612) here, would leave the right part off the
    # screen: moved in just far enough, and no further.
    holds "$win_x >= 0 && $win_x + $win_w <= 1280 && $win_x + $win_w >= 1278 && $win_y >= 611 && $win_y <= 613" ||
        fail "the window at $win_x,$win_y size ${win_w}x$win_h is not just whole on the 1280x1024 screen"
    local spot
    for spot in "60 70" "52 152"; do  # the first file, then the play label
        timeout 10 xdotool mousemove --sync $(awk -v f=$factor -v x=$win_x -v y=$win_y -v s="$spot" \
            'BEGIN { split(s, p, " "); printf "%d %d", x + p[1] * f, y + p[2] * f }') && click_here 1
    done
    await 1250 10
    listen 0.6 played
    expect_tone 1250 "after selecting a1250.mp3 and clicking the play label at scale $factor"
    stop_player
    local pid
    for pid in "${screen_pids[@]}"; do end_process "$pid"; done
}
