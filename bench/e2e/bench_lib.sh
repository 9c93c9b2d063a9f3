# What the end-to-end benchmarks share, sourced after they set $root, $build_arg
# and the tools they need in $bench_tools: the build folder, the private desktop
# and sound server of the end-to-end tests, the music, and the arithmetic of
# medians and ratios.

if [ -d "$build_arg" ]; then build=$(cd "$build_arg" && pwd)
else build=$(cd "$root/$build_arg" && pwd) || exit 1; fi
here=$root/tests/e2e
tools=$build/bench/e2e
. "$here/lib.sh"

fail() { echo "bench: $*" >&2; }
for tool in $bench_tools; do
    [ -x "$tools/$tool" ] || { echo "bench: $tools/$tool is missing (build the project)" >&2; exit 1; }
done
e2e_require_tools || exit 1
trap 'e2e_stop_all; rm -rf "${work:-}"' EXIT
trap 'exit 130' INT TERM
e2e_start_desktop || exit 1
e2e_make_music
test_dir=$work/bench
mkdir -p "$test_dir"

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a != "nan") printf "%.2f", a / b; else print "n/a" }'; }
field() { sed -nE "s/.*\\b$1=([-0-9.]+|none).*/\\1/p"; }
