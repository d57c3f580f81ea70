#!/usr/bin/env bash
# Configures (once) and builds the whole family for both architectures from
# the same sources: x86 (32-bit) into $BUILD_DIR/x86 and x64 into
# $BUILD_DIR/x64 (BUILD_DIR defaults to ./build). KW_ARCH=x86 or KW_ARCH=x64
# builds that one alone.
#
# The x64 tree is built first: the x86 tree makes the developer kit, which
# takes the x64 tree's DLLs and import libraries too; the x64 tree's tests
# take the kit and the 32-bit build from the x86 tree.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$repo/build}
archs=${KW_ARCH:-x64 x86}

# KW_LONG_SOAK=1 switches the soak tests to their full counts (and the
# build tree stays so until a run without it).
long_soak=OFF
[ "${KW_LONG_SOAK:-0}" = 1 ] && long_soak=ON

for arch in $archs; do
    case $arch in
      x86) toolchain=i686-w64-mingw32 peer=KW_X64_BUILD_DIR:PATH=$BUILD_DIR/x64 ;;
      x64) toolchain=x86_64-w64-mingw32 peer=KW_X86_BUILD_DIR:PATH=$BUILD_DIR/x86 ;;
      *) echo "build.sh: KW_ARCH must be x86, x64 or both, not '$arch'" >&2; exit 2 ;;
    esac
    tree=$BUILD_DIR/$arch
    if [ ! -f "$tree/CMakeCache.txt" ]; then
        cmake -S "$repo" -B "$tree" \
            -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$toolchain.cmake" \
            -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
            -D"$peer" -DKW_LONG_SOAK=$long_soak
    elif ! grep -qx "KW_LONG_SOAK:BOOL=$long_soak" "$tree/CMakeCache.txt" ||
         ! grep -qx "$peer" "$tree/CMakeCache.txt"; then
        cmake -S "$repo" -B "$tree" -D"$peer" -DKW_LONG_SOAK=$long_soak
    fi
    cmake --build "$tree" -j"${JOBS:-2}"
done
