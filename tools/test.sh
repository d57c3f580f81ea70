#!/usr/bin/env bash
# Builds everything and runs every test under Wine inside one virtual X
# display (Xvfb), in the build tree's private Wine prefix.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$repo/build}

bash "$repo/tools/setup.sh"
bash "$repo/tools/build.sh"
cd "$BUILD_DIR"
# Tests never reach the user's own display or Wine prefix.
unset DISPLAY WINEPREFIX
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure "$@"
