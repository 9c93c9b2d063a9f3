#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the binary, the menu entry and the icon at each size that the sources hold.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
prefix=$(mktemp -d /tmp/velmyr-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

[ -x "$prefix/bin/velmyr" ] || fail "no executable bin/velmyr"

entry=$prefix/share/applications/velmyr.desktop
if [ ! -f "$entry" ]; then
    fail "no share/applications/velmyr.desktop"
else
    key() { grep -E "^$1=" "$entry" | head -n1 | cut -d= -f2-; }
    [ "$(head -n1 "$entry")" = "[Desktop Entry]" ] || fail "the entry does not start with [Desktop Entry]"
    [ "$(key Type)" = Application ] || fail "Type is '$(key Type)'"
    [ "$(key Name)" = "Quillmere Mp3 Player" ] || fail "Name is '$(key Name)'"
    [ "$(key Categories)" = "AudioVideo;Audio;Player;" ] || fail "Categories is '$(key Categories)'"
    [ -x "$prefix/bin/$(key Exec | cut -d' ' -f1)" ] || fail "Exec '$(key Exec)' is not the installed binary"
    icon=$(key Icon)
    [ -n "$icon" ] || fail "no Icon"
fi

# Each PNG under hicolor/NxN must be N by N pixels (width and height are
# big-endian at bytes 16 to 23 of the file).
found=0
for png in "$source"/resources/icon/velmyr-*.png; do
    [ -e "$png" ] || continue
    size=${png##*/velmyr-}; size=${size%.png}
    installed=$prefix/share/icons/hicolor/${size}x${size}/apps/${icon:-velmyr}.png
    if [ ! -f "$installed" ]; then
        fail "no icon at hicolor/${size}x${size}"
        continue
    fi
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$installed")
    w=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4)) h=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "hicolor/${size}x${size} icon is ${w}x$h"
    found=$((found + 1))
done
[ $found -gt 0 ] || fail "no icon installed"

[ $failures = 0 ] && echo "install layout OK ($found icon sizes)"
[ $failures = 0 ]
