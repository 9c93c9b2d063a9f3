# End-to-end tests of the player as users get it, sourced by run.sh after
# tests.sh: the Debian package installed with apt, an installed copy run by a
# normal user, and a start on Wayland.

# Installing packages and adding users needs root: CI (.ci/run) runs the
# suite as root; elsewhere these tests are reported as skipped.
needs_root() {
    [ "$(id -u)" = 0 ] && return 0
    test_skipped="$1 needs root"
    return 1
}

# The package of this build, made with cpack when it is missing or older than
# the binary; prints its path.
package_of_build() {
    local arch deb
    arch=$(dpkg --print-architecture)
    deb=$(ls "$build"/velmyr_*_"$arch".deb 2>/dev/null | head -n1)
    if [ -z "$deb" ] || [ "$deb" -ot "$velmyr_bin" ]; then
        (cd "$build" && cpack -G DEB) >"$test_dir/cpack.log" 2>&1 || return 1
        deb=$(ls "$build"/velmyr_*_"$arch".deb 2>/dev/null | head -n1)
    fi
    [ -n "$deb" ] && echo "$deb"
}

# apt-get installs the package with what it depends on, the installed player
# shows its icons, plays a file, and, run by root, keeps the folder in root's
# configuration folder, not beside itself in /usr/bin; the package is removed
# again afterwards unless it was installed before.
e2e_test installed_package
test_installed_package() {
    needs_root "installing the package" || return 0
    local deb had_package=0 beside_before beside_after
    deb=$(package_of_build) || { fail "cpack did not make the package (see $test_dir/cpack.log)"; return 1; }
    dpkg-query -W -f='${Status}' velmyr 2>/dev/null | grep -q "ok installed" && had_package=1
    beside_before=$(sha256sum /usr/bin/velmyr.ini 2>/dev/null)
    e2e_log "installing ${deb##*/} with apt-get"
    if DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=120 "$deb" \
        >"$test_dir/apt.log" 2>&1; then
        installed_package_plays
    else
        fail "apt-get install ${deb##*/} failed: $(tail -n 3 "$test_dir/apt.log" | tr '\n' '|')"
    fi
    stop_player
    # An installed copy keeps its settings in the user's folder, root's too.
    beside_after=$(sha256sum /usr/bin/velmyr.ini 2>/dev/null)
    [ "$beside_after" = "$beside_before" ] || fail "the installed player wrote /usr/bin/velmyr.ini"
    rm -f "$XDG_CONFIG_HOME/velmyr/velmyr.ini"
    if [ $had_package = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -q -o DPkg::Lock::Timeout=120 velmyr \
            >>"$test_dir/apt.log" 2>&1 || fail "apt-get remove velmyr failed"
    fi
}

installed_package_plays() {
    [ "$(command -v velmyr)" = /usr/bin/velmyr ] || fail "velmyr on the PATH is '$(command -v velmyr)', not /usr/bin/velmyr"
    (cd "$music" && exec velmyr) >>"$test_dir/velmyr.log" 2>&1 &
    player_pid=$!
    await_player_window || return 1
    local icons
    icons=$(xprop -id "$win" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | tr -d 'Icon() ' | sort -un)
    [ "$(echo $icons)" = "16x16 32x32" ] || fail "the window manager was given icons of $(echo $icons), expected 16x16 and 32x32 only"
    double_click_at $first_file
    await sound 5
    listen 1.0 playing
    expect_tone 1250 "a1250.mp3 played by the installed player"
    click_control Label3
    wait_player_exit 15 || { fail "the installed player did not end after a click on \"  X\""; return 1; }
    [ "$player_status" = 0 ] || fail "the installed player ended with status $player_status"
    local settings=$XDG_CONFIG_HOME/velmyr/velmyr.ini
    grep -Eqx "path *= *$music" "$settings" 2>/dev/null ||
        fail "$settings does not hold path=$music: $(tr '\n' '|' 2>/dev/null <"$settings")"
}

# A copy installed where the user cannot write (cmake --install to a prefix
# owned by root) and run by a user of its own keeps the folder in the user's
# ~/.config/velmyr/velmyr.ini and shows it again at the next start.
e2e_test installed_user_settings
test_installed_user_settings() {
    needs_root "adding a user" || return 0
    local user=velmyr-e2e-$$ prefix home settings
    prefix=$(mktemp -d /tmp/velmyr-installed.XXXXXX)
    chmod 755 "$prefix"
    home=$prefix/home
    if cmake --install "$build" --prefix "$prefix/usr" >"$test_dir/install.log" 2>&1 &&
        useradd --no-create-home --home-dir "$home" --shell /usr/sbin/nologin --user-group "$user" \
            >>"$test_dir/install.log" 2>&1; then
        mkdir -p "$home/Music/sub" "$home/runtime"
        chown -R "$user:$user" "$home"
        chmod 700 "$home/runtime"
        settings=$home/.config/velmyr/velmyr.ini
        installed_copy_keeps_folder
    else
        fail "could not install into $prefix or add the user $user: $(tail -n 3 "$test_dir/install.log" | tr '\n' '|')"
    fi
    stop_player
    id "$user" >/dev/null 2>&1 && userdel "$user"
    rm -rf "$prefix"
}

installed_copy_keeps_folder() {
    # First start in ~/Music, whose subfolder sub/ is the folder list's second row.
    start_as_user "$home/Music" || return 1
    double_click_at $steps_folder_row
    close_by_label "first run" || return 1
    grep -Eqx "path *= *$home/Music/sub" "$settings" 2>/dev/null ||
        fail "$settings does not hold path=$home/Music/sub: $(tr '\n' '|' 2>/dev/null <"$settings")"
    [ "$(stat -c %U:%a "$(dirname "$settings")" 2>/dev/null)" = "$user:700" ] ||
        fail "$(dirname "$settings") is not the user's own, mode 700: $(stat -c %U:%a "$(dirname "$settings")" 2>/dev/null)"
    [ ! -e "$prefix/usr/bin/velmyr.ini" ] || fail "a settings file appeared beside the installed binary"

    # Second start in ~: the remembered folder is shown, so it is the one the
    # close writes back.
    start_as_user "$home" || return 1
    close_by_label "second run" || return 1
    grep -Eqx "path *= *$home/Music/sub" "$settings" 2>/dev/null ||
        fail "the second run did not show the remembered folder: $(tr '\n' '|' 2>/dev/null <"$settings")"
}

# Starts the installed copy as $user in folder $1, with the user's own
# environment (no sound server it could reach: it plays silently).
start_as_user() {
    (cd "$1" && exec setpriv --reuid="$user" --regid="$user" --init-groups env -i HOME="$home" \
        PATH=/usr/bin:/bin DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$home/runtime" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-session-bus" "$prefix/usr/bin/velmyr") \
        >>"$test_dir/velmyr.log" 2>&1 &
    player_pid=$!
    await_player_window
}

close_by_label() {
    click_control Label3
    wait_player_exit 15 || { fail "$1: the player did not end after a click on \"  X\""; return 1; }
    [ "$player_status" = 0 ] || fail "$1: the player ended with status $player_status"
}

# On Wayland: weston's headless backend with the Qt Wayland plugin. The
# compositor's scene graph shows the player's top-level window at its size, and
# SIGTERM unloads it: the settings file is written and the exit status is 0.
# The headless backend has no input devices, and weston here has no module to
# inject input, so the drag cannot be tried there.
e2e_test wayland_start
test_wayland_start() {
    local runtime=$test_dir/wayland socket=velmyr-wayland weston_pid view
    command -v weston >/dev/null && command -v weston-debug >/dev/null ||
        { fail "weston is not installed (scripts/test.sh installs it)"; return 1; }
    mkdir -m 700 "$runtime"
    XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=$socket --idle-time=0 --debug \
        --no-config --log="$test_dir/weston.log" >/dev/null 2>&1 &
    weston_pid=$!
    started_pids+=($weston_pid)
    wait_for 20 test -S "$runtime/$socket" || { fail "weston did not start (see $test_dir/weston.log)"; return 1; }

    app_dir=$test_dir/app
    mkdir -p "$app_dir"
    cp "$velmyr_bin" "$app_dir/velmyr"
    (cd "$music" && exec env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland \
        "$app_dir/velmyr") >>"$test_dir/velmyr.log" 2>&1 &
    player_pid=$!
    if wait_for 30 eval '[ -n "$(wayland_view)" ]'; then
        view=$(wayland_view)
        e2e_log "weston shows the player's window at $view"
        read -r left top right bottom <<<"$view"
        [ $((right - left))x$((bottom - top)) = 225x194 ] ||
            fail "the window on Wayland is $((right - left))x$((bottom - top)), expected 225x194"
    else
        fail "weston's scene graph shows no window titled \"$window_title\" within 30 s"
    fi

    kill -TERM "$player_pid"
    if wait_player_exit 15; then
        [ "$player_status" = 0 ] || fail "on SIGTERM the player ended with status $player_status"
    else
        fail "the player did not end within 15 s of SIGTERM"
    fi
    grep -Eqx "path *= *$music" "$app_dir/velmyr.ini" 2>/dev/null ||
        fail "the settings file does not hold path=$music: $(tr '\n' '|' 2>/dev/null <"$app_dir/velmyr.ini")"
    end_process "$weston_pid"
}

# Where weston shows the player's top-level window: "LEFT TOP RIGHT BOTTOM".
wayland_view() {
    XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket timeout 5 weston-debug scene-graph 2>/dev/null |
        awk -v title="top-level window '$window_title'" '
            index($0, title) { found = 1; next }
            found && /position:/ { gsub(/[(),>-]/, " "); print $2, $3, $4, $5; exit }'
}
