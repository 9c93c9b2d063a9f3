#!/usr/bin/env bash
# Makes the Debian package with cpack and checks it: its name, the dependencies
# that dpkg-shlibdeps finds and those loaded at run time, the files a desktop
# needs, and what desktop-file-validate, appstreamcli and lintian say (an error
# of any of them fails; lintian's warnings are printed).
#   package_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate appstreamcli lintian; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/test.sh installs VELMYR_TEST_PACKAGES)"
done
[ $failures = 0 ] || exit 1

rm -f "$build"/velmyr_*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; fail "cpack failed"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$(ls "$build"/velmyr_*_"$arch".deb 2>/dev/null | head -n1)
[ -n "$deb" ] || { fail "no velmyr_<version>_$arch.deb in $build"; exit 1; }
echo "package: ${deb##*/}, $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velmyr ] || fail "Package is '$(field Package)'"
[ "${deb##*/}" = "velmyr_$(field Version)_$arch.deb" ] || fail "file name ${deb##*/} does not match version $(field Version)"
depends=$(field Depends)
echo "Depends: $depends"
for dep in mpg123 fonts-liberation libmpg123-0 libout123-0 libqt6widgets6 libc6; do
    grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep"
done

root=$(mktemp -d /tmp/velmyr-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for file in usr/bin/velmyr usr/share/applications/velmyr.desktop usr/share/metainfo/org.velmyr.velmyr.metainfo.xml \
    usr/share/man/man1/velmyr.1.gz usr/share/doc/velmyr/copyright usr/share/doc/velmyr/changelog.gz \
    usr/share/icons/hicolor/16x16/apps/velmyr.png usr/share/icons/hicolor/32x32/apps/velmyr.png; do
    [ -s "$root/$file" ] || fail "the package lacks /$file"
done

desktop-file-validate "$root/usr/share/applications/velmyr.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmyr.velmyr.metainfo.xml" || fail "appstreamcli validate"
lintian_out=$(lintian "$deb" 2>&1)
[ -n "$lintian_out" ] && sed 's/^/lintian: /' <<<"$lintian_out"
grep -q '^E: ' <<<"$lintian_out" && fail "lintian reports errors"

[ $failures = 0 ] && echo "package OK"
[ $failures = 0 ]
