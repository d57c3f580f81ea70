#!/usr/bin/env bash
# Makes, prepares or ends a private Wine prefix, 32-bit unless KW_WINEARCH
# is win64:
#   prefix.sh create PREFIX [WxH]  make it once (the demo uses this too)
#   prefix.sh setup PREFIX [WxH]   a test prefix: create it, keep
#                                  wineserver up
#   prefix.sh teardown PREFIX      end wineserver and every process in it
# The prefix gets a virtual desktop (1024x768 unless told), so that focus
# and the foreground window behave as on Windows, no crash dialog and no
# Mono or Gecko installer prompts.
#
# KW_DPI (default 96) is the prefix's screen DPI: 144 is 150%, 192 is 200%.
# Wine reads it from "LogPixels" under HKCU\Control Panel\Desktop, and
# older code from the hardware profile's fonts key; both are set.
#
# The mark .prepared holds the settings the prefix was made with. A prefix
# without it was left half made by an interrupted run; one made with other
# settings (another architecture, DPI or desktop, or by an older version of
# this script)
# is made anew.
#
# Caption buttons, scroll arrows and menu check marks are glyphs of Wine's
# symbol font Marlett (Debian's fonts-wine). Debian's Wine looks for its own
# fonts in a directory other than the one the package fills, so without a
# copy in the prefix's Fonts folder the buttons show as the letters "0 1 r".
#
# Chinese, Japanese and Korean text needs a font with those scripts: the
# prefix's Fonts folder gets WenQuanYi Micro Hei (Debian's
# fonts-wqy-microhei), and a font link from the face that the dialogs, menus
# and controls get sends each character that face lacks to it.
set -eu
action=${1:-}
export WINEPREFIX="${2:-}"
. "$(dirname "$0")/env.sh"

# What the mark records; bump the first word when the prefix's contents
# change, so that prefixes made before are made again.
mark_format=kw-prefix-4

die() { echo "prefix.sh: $*" >&2; exit 2; }

dpi=${KW_DPI:-96}
case $dpi in
  '' | *[!0-9]*) die "KW_DPI must be a whole number of dots per inch (96, 144, 192), not '$dpi'" ;;
esac
[ "$dpi" -ge 48 ] && [ "$dpi" -le 480 ] || die "KW_DPI=$dpi is outside 48 to 480"

# The faces that get the link. Wine looks a link up by the face it found
# for the font asked for. Debian's Wine finds none of its own faces but the
# Marlett copied here, so every name the dialogs, menus and controls ask for
# (MS Shell Dlg, Tahoma, MS Sans Serif, Helv, Arial, ...) falls back to
# DejaVu Sans, which fontconfig has: that face and its styles get the link.
# A link on a name that has no face would instead make Wine draw all of that
# name's text, Latin too, in the linked face.
linked_faces=("DejaVu Sans" "DejaVu Sans Bold" "DejaVu Sans Oblique" "DejaVu Sans Bold Oblique")
cjk_file=wqy-microhei.ttc
cjk_face="WenQuanYi Micro Hei"
cjk_link="$cjk_file,$cjk_face"
# Edit controls draw through Uniscribe, which ignores the link: for a script
# the face lacks it takes the face named under the script's tag (in hex,
# least significant byte first): Han 'hani', kana 'kana' and Hangul 'hang'.
uniscribe_scripts=(696e6168 616e616b 676e6168)

# A font file into the prefix's Fonts folder, from the first of the places
# given that has it; says which package to install when none has.
copy_font() { # name package place...
    local name=$1 package=$2 fonts="$WINEPREFIX/drive_c/windows/Fonts" f
    shift 2
    [ -f "$fonts/$name" ] && return 0
    for f in "$@"; do
        if [ -f "$f" ]; then
            mkdir -p "$fonts" && cp "$f" "$fonts/$name"
            return 0
        fi
    done
    echo "prefix.sh: the font $name is missing (Debian package $package)" >&2
}

fonts() {
    copy_font marlett.ttf fonts-wine /usr/share/wine/fonts/marlett.ttf \
        /usr/lib/wine/fonts/marlett.ttf /usr/share/fonts/truetype/wine/marlett.ttf \
        /opt/wine*/share/wine/fonts/marlett.ttf
    copy_font "$cjk_file" fonts-wqy-microhei /usr/share/fonts/truetype/wqy/$cjk_file \
        /usr/share/fonts/wqy-microhei/$cjk_file /usr/share/fonts/wenquanyi/wqy-microhei/$cjk_file
}

# A REG_MULTI_SZ of one string in a REGEDIT4 file: its bytes, then two NULs.
multi_sz() {
    printf '%s\0\0' "$1" | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/ /,/g'
}

# The settings a prefix is made with; the mark holds them.
settings_line() { echo "$mark_format arch=$WINEARCH desktop=$1 dpi=$dpi"; }

make_prefix() {
    local size=$1 face tag link
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$KW_WINE" wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    link=$(multi_sz "$cjk_link")
    {
        cat <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$size"

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf '%08x' "$dpi")

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
"LogPixels"=dword:$(printf '%08x' "$dpi")

[HKEY_CURRENT_USER\\Software\\Wine\\Uniscribe\\Fallback]
REG
        for tag in "${uniscribe_scripts[@]}"; do
            printf '"%s"="%s"\n' "$tag" "$cjk_face"
        done
        cat <<REG

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
REG
        for face in "${linked_faces[@]}"; do
            printf '"%s"=hex(7):%s\n' "$face" "$link"
        done
    } > "$WINEPREFIX/settings.reg"
    "$KW_WINE" regedit /S "$WINEPREFIX/settings.reg" >/dev/null 2>&1 </dev/null
    wineserver -w
    settings_line "$size" > "$WINEPREFIX/.prepared"
}

create() {
    local size=$1
    case $size in
      [1-9]*x[1-9]*) ;;
      *) die "the desktop size must be WIDTHxHEIGHT, not '$size'" ;;
    esac
    # A prefix of other settings may have its wineserver up still (a test
    # run's); it ends before the prefix goes.
    if [ "$(cat "$WINEPREFIX/.prepared" 2>/dev/null)" != "$(settings_line "$size")" ]; then
        [ -d "$WINEPREFIX" ] && { wineserver -k >/dev/null 2>&1 || true; }
        make_prefix "$size"
    fi
    fonts
}

[ -n "$WINEPREFIX" ] || action=usage
case "$action" in
create)
    create "${3:-1024x768}"
    ;;
setup)
    create "${3:-1024x768}"
    # One wineserver for the whole run, so each test starts quickly. Its
    # output goes elsewhere: CTest waits for every holder of the test's
    # output pipe, and the server outlives this script.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 </dev/null
    # Start the prefix's services and its desktop now: started by the first
    # test instead, they would inherit that test's output pipe and keep
    # CTest waiting for as long as the server lives.
    "$KW_WINE" wineboot >/dev/null 2>&1 </dev/null
    ;;
teardown)
    wineserver -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 create|setup|teardown PREFIX [WxH]   (KW_DPI=dots per inch, default 96; KW_WINEARCH=win32|win64)" >&2
    exit 2
    ;;
esac
