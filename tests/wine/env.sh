# The environment of every Wine run of the project (tests, demo, benchmark);
# sourced by the scripts that start Wine.
# 32-bit prefixes, as on the machines these components were made for.
export WINEARCH=win32
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
