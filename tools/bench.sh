#!/usr/bin/env bash
# Builds the family and runs the scan benchmark (bench/scan_bench.cpp) under
# Wine inside a virtual X display, for each architecture in its tree's own
# prefix: the x86 build under 32-bit Wine, then the x64 build under 64-bit
# Wine (KW_ARCH=x86 or KW_ARCH=x64 runs one). Each run prints the scan's own
# times, then how soon the watcher counts a new or deleted message (about a
# minute and a half of changes one or two seconds apart). Extra arguments go
# to the benchmark program. Exit code 0 when every target is met in every
# run.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$repo/build}
archs=${KW_ARCH:-x86 x64}

bash "$repo/tools/setup.sh"
bash "$repo/tools/build.sh"
# Never the user's own display or Wine prefix; a UTF-8 Unix locale, which
# Wine needs for file names outside ASCII, whatever the caller's.
unset DISPLAY WINEPREFIX LANGUAGE
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    repo=$1 archs=$2
    shift 2
    status=0
    for arch in $archs; do
        tree=$BUILD_DIR/$arch
        case $arch in x64) winearch=win64 ;; *) winearch=win32 ;; esac
        echo "=== $arch"
        KW_WINEARCH=$winearch "$repo/tests/wine/prefix.sh" setup "$tree/wineprefix"
        "$repo/tests/wine/run.sh" "$tree/wineprefix" "$tree/bin/scan_bench.exe" "$@" || status=1
        "$repo/tests/wine/prefix.sh" teardown "$tree/wineprefix"
    done
    exit $status
' bench "$repo" "$archs" "$@"
