#!/usr/bin/env bash
# Prepares or ends the private Wine prefix in which the tests run:
#   prefix.sh setup PREFIX     create it once, keep wineserver up
#   prefix.sh teardown PREFIX  end wineserver and every process in it
# The prefix gets a virtual desktop, so that focus and the foreground
# window behave as on Windows, no crash dialog and no Mono or Gecko
# installer prompts.
set -eu
action=$1
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

case "$action" in
setup)
    if [ ! -f "$WINEPREFIX/.prepared" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 </dev/null
        wineserver -w
        cat > "$WINEPREFIX/tests.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
        wine regedit /S "$WINEPREFIX/tests.reg" >/dev/null 2>&1 </dev/null
        wineserver -w
        touch "$WINEPREFIX/.prepared"
    fi
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
    echo "usage: $0 setup|teardown PREFIX" >&2
    exit 2
    ;;
esac
