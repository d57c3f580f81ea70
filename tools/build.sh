#!/usr/bin/env bash
# Configures (once) and builds the whole family into $BUILD_DIR (default: ./build).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$repo/build}

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$BUILD_DIR" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
fi
cmake --build "$BUILD_DIR" -j"${JOBS:-2}"
