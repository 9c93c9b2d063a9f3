# Debian packages the project needs, by purpose. Sourced by the other scripts.
VELMYR_BUILD_PACKAGES="cmake g++ make pkg-config qt6-base-dev libgl-dev libmpg123-dev libpulse-dev mpg123 fonts-liberation"
VELMYR_TEST_PACKAGES="clang-format libgtest-dev xvfb openbox xdotool pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon playerctl imagemagick x11-utils clang libclang-rt-14-dev"

# Installs whichever of the given packages are missing.
velmyr_install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The Debian package and its checks (cpack with dpkg-shlibdeps, lintian, the
# desktop-entry and AppStream validators), and the start on Wayland (weston).
VELMYR_TEST_PACKAGES="$VELMYR_TEST_PACKAGES dpkg-dev file lintian desktop-file-utils appstream weston qt6-wayland"

# The accessibility bus and a screen reader's view of the window (tests/e2e/atspi_driver.py),
# and a screen reader that follows the keys (orca).
VELMYR_TEST_PACKAGES="$VELMYR_TEST_PACKAGES python3-pyatspi at-spi2-core orca"
