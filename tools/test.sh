#!/usr/bin/env bash
# Builds everything and runs every test under Wine inside one virtual X
# display (Xvfb), in the build tree's private Wine prefix.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$repo/build}

bash "$repo/tools/setup.sh"
bash "$repo/tools/build.sh"
cd "$BUILD_DIR"
# Tests never reach the user's own display or Wine prefix. Wine turns
# Windows file names into Unix ones through the Unix locale, so every test
# gets a UTF-8 one whatever the caller's (in the POSIX locale no name outside
# ASCII can exist); CTest hands it on to each test.
unset DISPLAY WINEPREFIX LANGUAGE
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure "$@"
