#!/usr/bin/env bash
# Configures (once) and builds the whole family into $BUILD_DIR (default: ./build).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$repo/build}

# KW_LONG_SOAK=1 switches the soak tests to their full counts (and the
# build tree stays so until a run without it).
long_soak=OFF
[ "${KW_LONG_SOAK:-0}" = 1 ] && long_soak=ON
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$BUILD_DIR" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
        -DKW_LONG_SOAK=$long_soak
elif ! grep -qx "KW_LONG_SOAK:BOOL=$long_soak" "$BUILD_DIR/CMakeCache.txt"; then
    cmake -S "$repo" -B "$BUILD_DIR" -DKW_LONG_SOAK=$long_soak
fi
cmake --build "$BUILD_DIR" -j"${JOBS:-2}"
