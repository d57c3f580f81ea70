# The environment of every Wine run of the project (tests, demo, benchmark);
# sourced by the scripts that start Wine, after they set WINEPREFIX.
# The prefix's architecture: what KW_WINEARCH asks for (win64 for the x64
# build's tests and benchmark), else what the prefix was made as, else a
# 32-bit prefix, as on the machines these components were made for.
kw_arch=${KW_WINEARCH:-}
[ -n "$kw_arch" ] || kw_arch=$(sed -n 's/^#arch=//p' "${WINEPREFIX:-}/system.reg" 2>/dev/null | head -n 1)
export WINEARCH=${kw_arch:-win32}
unset kw_arch
# The loader that starts programs ("$KW_WINE" program.exe). A 64-bit prefix
# takes the 64-bit loader itself: Debian's "wine" would start the 32-bit one
# first, which on a machine without 32-bit code runs emulated.
KW_WINE=wine
if [ "$WINEARCH" = win64 ]; then
    if command -v wine64 >/dev/null 2>&1; then
        KW_WINE=wine64
    elif [ -x /usr/lib/wine/wine64 ]; then
        KW_WINE=/usr/lib/wine/wine64
    fi
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine turns Windows file names into Unix ones through the Unix locale; in
# the POSIX locale no name outside ASCII can exist.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE
# Where i386 programs run under QEMU's user-mode emulator
# (tools/i386-emulation.sh), the Wine server is the native 64-bit one: it
# reads and writes other processes' memory by tracing them, which the
# emulator cannot do. Guest addresses are host addresses, so that the
# server finds what a client names.
if [ -e /proc/sys/fs/binfmt_misc/kw-i386 ]; then
    export QEMU_GUEST_BASE=0
    if [ -x /usr/lib/wine/wineserver64 ]; then export WINESERVER=/usr/lib/wine/wineserver64; fi
fi
