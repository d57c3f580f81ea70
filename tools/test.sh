#!/usr/bin/env bash
# Builds everything and runs every test under Wine inside one virtual X
# display (Xvfb): the x86 tree's suite under 32-bit Wine, then the x64
# tree's under 64-bit Wine, each in its tree's private prefixes, one after
# the other (their tests share the display). KW_ARCH=x86 or KW_ARCH=x64 runs
# one suite alone; extra arguments go to each ctest.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$repo/build}
archs=${KW_ARCH:-x86 x64}

bash "$repo/tools/setup.sh"
bash "$repo/tools/build.sh"
# Tests never reach the user's own display or Wine prefix. Wine turns
# Windows file names into Unix ones through the Unix locale, so every test
# gets a UTF-8 one whatever the caller's (in the POSIX locale no name outside
# ASCII can exist); CTest hands it on to each test.
unset DISPLAY WINEPREFIX LANGUAGE
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    archs=$1
    shift
    failed=()
    for arch in $archs; do
        started=$SECONDS
        echo "=== $arch: $BUILD_DIR/$arch"
        (cd "$BUILD_DIR/$arch" && ctest --output-on-failure "$@") || failed+=("$arch")
        echo "=== $arch: $((SECONDS - started)) s"
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "=== failed: ${failed[*]}"
        exit 1
    fi
' test "$archs" "$@"
