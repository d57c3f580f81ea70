#!/usr/bin/env bash
# Makes, prepares or ends a private Wine prefix:
#   prefix.sh create PREFIX [WxH]  make it once (the demo uses this too)
#   prefix.sh setup PREFIX         the tests' prefix: create it, keep
#                                  wineserver up
#   prefix.sh teardown PREFIX      end wineserver and every process in it
# The prefix gets a virtual desktop (1024x768 unless told), so that focus
# and the foreground window behave as on Windows, no crash dialog and no
# Mono or Gecko installer prompts. A prefix without the mark .prepared was
# left half made by an interrupted run and is made anew.
set -eu
action=$1
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

create() {
    [ -f "$WINEPREFIX/.prepared" ] && return 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    cat > "$WINEPREFIX/settings.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$1"
REG
    wine regedit /S "$WINEPREFIX/settings.reg" >/dev/null 2>&1 </dev/null
    wineserver -w
    touch "$WINEPREFIX/.prepared"
}

case "$action" in
create)
    create "${3:-1024x768}"
    ;;
setup)
    create 1024x768
    # One wineserver for the whole run, so each test starts quickly. Its
    # output goes elsewhere: CTest waits for every holder of the test's
    # output pipe, and the server outlives this script.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 </dev/null
    # Start the prefix's services and its desktop now: started by the first
    # test instead, they would inherit that test's output pipe and keep
    # CTest waiting for as long as the server lives.
    wine wineboot >/dev/null 2>&1 </dev/null
    ;;
teardown)
    wineserver -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 create|setup|teardown PREFIX [WxH]" >&2
    exit 2
    ;;
esac
