#!/usr/bin/env bash
# Runs one Windows program of the build under Wine, in the build tree's own
# prefix: run.sh PREFIX PROGRAM [ARGS...]
set -eu
export WINEPREFIX="$1"; shift
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine turns Windows file names into Unix ones through the Unix locale; in
# the POSIX locale no name outside ASCII can exist.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE
exec wine "$@"
