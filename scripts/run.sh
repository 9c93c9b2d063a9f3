#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
velmyr_install_missing $VELMYR_BUILD_PACKAGES
# The same build folder and configuration as the test command: only the
# program is built here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target velmyr
exec build/app/velmyr
