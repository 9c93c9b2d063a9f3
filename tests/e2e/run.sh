#!/usr/bin/env bash
# End-to-end tests: runs the built player as a user would, in a private X server
# (Xvfb) with a window manager (openbox) and a private sound server (PulseAudio)
# whose only output is a null sink. xdotool moves and clicks; the verdicts come
# from screenshots of the window and from the recording of the null sink's
# monitor, where every fixture is a tone of its own frequency.
#
#   tests/e2e/run.sh [BUILD_DIR] [--server pipewire] [TEST...]
#
# BUILD_DIR defaults to build/ (it must hold app/velmyr and tests/e2e/e2e_probe).
# Given TEST names (e.g. pause_resume), only those run. --server pipewire plays
# through PipeWire's PulseAudio service instead of PulseAudio, by default only
# the tests of what is heard (pipewire_tests in tests.sh). VELMYR_E2E_KEEP=1 keeps
# the work folder with the recording, screenshots and logs; it is kept anyway
# when a test fails.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build_arg=${1:-build}
shift || true
if [ -d "$build_arg" ]; then build=$(cd "$build_arg" && pwd)
elif [ -d "$root/$build_arg" ]; then build=$(cd "$root/$build_arg" && pwd)
else echo "e2e: no build folder $build_arg" >&2; exit 1; fi

if [ "${1:-}" = --server ]; then
    export VELMYR_E2E_SERVER=$2
    shift 2
fi

. "$here/lib.sh"
. "$here/tests.sh"
. "$here/delivery_tests.sh"

e2e_main "$@"
