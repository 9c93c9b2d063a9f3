#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
velmyr_install_missing $VELMYR_BUILD_PACKAGES
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMYR_BUILD_TESTS=OFF >/dev/null
cmake --build build -j2
exec build/app/velmyr
