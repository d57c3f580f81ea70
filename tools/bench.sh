#!/usr/bin/env bash
# Builds the family and runs the scan benchmark (bench/scan_bench.cpp) under
# Wine, in the build tree's private prefix, inside a virtual X display: the
# scan's own times, then how soon the watcher counts a new or deleted
# message (about a minute and a half of changes one or two seconds apart).
# Extra arguments go to the benchmark program. Exit code: the benchmark's
# (0 when every target is met).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$repo/build}
prefix=$BUILD_DIR/wineprefix

bash "$repo/tools/setup.sh"
bash "$repo/tools/build.sh"
# Never the user's own display or Wine prefix; a UTF-8 Unix locale, which
# Wine needs for file names outside ASCII, whatever the caller's.
unset DISPLAY WINEPREFIX LANGUAGE
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    "$1/tests/wine/prefix.sh" setup "$2"
    "$1/tests/wine/run.sh" "$2" "$3/bin/scan_bench.exe" "${@:4}"
    status=$?
    "$1/tests/wine/prefix.sh" teardown "$2"
    exit $status
' bench "$repo" "$prefix" "$BUILD_DIR" "$@"
