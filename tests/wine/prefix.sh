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
#
# Caption buttons, scroll arrows and menu check marks are glyphs of Wine's
# symbol font Marlett (Debian's fonts-wine). Debian's Wine looks for its own
# fonts in a directory other than the one the package fills, so without a
# copy in the prefix's Fonts folder the buttons show as the letters "0 1 r".
set -eu
action=$1
export WINEPREFIX="$2"
. "$(dirname "$0")/env.sh"

# Marlett into the prefix's Fonts folder, from wherever this system keeps it.
marlett() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
    [ -f "$fonts/marlett.ttf" ] && return 0
    for f in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf \
             /usr/share/fonts/truetype/wine/marlett.ttf /opt/wine*/share/wine/fonts/marlett.ttf; do
        if [ -f "$f" ]; then
            mkdir -p "$fonts" && cp "$f" "$fonts/marlett.ttf"
            return 0
        fi
    done
    echo "prefix.sh: Wine's Marlett font is missing (Debian package fonts-wine)" >&2
}

make_prefix() {
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

create() {
    [ -f "$WINEPREFIX/.prepared" ] || make_prefix "$1"
    marlett
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
