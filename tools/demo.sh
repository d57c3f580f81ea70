#!/usr/bin/env bash
# Builds the project's 32-bit tree, prepares a private 32-bit Wine prefix
# with a sample new-mail directory and the watcher's settings, and starts
# Tidbell32 (the 32-bit watcher, which the installer ships) in it.
#
# Environment:
#   BUILD_DIR     build folder (default: <repo>/build; the watcher comes from
#                 its x86 tree); the prefix, the log and the screenshot are
#                 kept inside it
#   DEMO_SECONDS  how long the watcher runs when the script has started its own
#                 X server (default 10); on the user's display it keeps running
#   DEMO_NO_BUILD set to 1 to skip the build and use the binaries already there
#   KW_DPI        the screen DPI of the demo's Wine prefix (default 96; 144 is
#                 150%, 192 is 200%); the prefix is made anew when it changes
#
# Everything it writes stays below BUILD_DIR, apart from the lock and socket of
# an Xvfb server that it starts itself (in /tmp) when no display is reachable.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$repo/build}
DEMO_SECONDS=${DEMO_SECONDS:-10}
DEMO_NO_BUILD=${DEMO_NO_BUILD:-0}

case $DEMO_SECONDS in
  '' | *[!0-9]*) echo "demo: DEMO_SECONDS must be a whole number of seconds" >&2; exit 2 ;;
esac

say() { printf 'demo: %s\n' "$*"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

bash "$repo/tools/setup.sh" || die "the set-up failed (see above)"
have wine || die "wine is not installed (a 32-bit Wine is needed to run the watcher)"
have wineserver || die "wineserver is not installed"

# ---------------------------------------------------------------- 1. build
if [ "$DEMO_NO_BUILD" = 1 ]; then
  say "skipping the build (DEMO_NO_BUILD=1)"
else
  say "building"
  BUILD_DIR=$BUILD_DIR KW_ARCH=x86 bash "$repo/tools/build.sh"
fi
mkdir -p "$BUILD_DIR"
BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
bin_dir=$BUILD_DIR/x86/bin
for f in Tidbell32.exe KWCTRL32.dll Shutlet.dll; do
  [ -f "$bin_dir/$f" ] || die "$bin_dir/$f is missing; did the build succeed?"
done

# ---------------------------------------------------------------- Wine set-up
export WINEPREFIX=$BUILD_DIR/demo-prefix
# A 32-bit prefix for the 32-bit watcher. No crash dialog, no Mono or Gecko
# installer prompts in a fresh prefix, the UTF-8 Unix locale.
export KW_WINEARCH=win32
. "$repo/tests/wine/env.sh"
log=$BUILD_DIR/demo-wine.log
shot=$BUILD_DIR/demo-screenshot.png
tray_shot=$BUILD_DIR/demo-screenshot-tray.png

xvfb_pid=
own_display=0
watcher_pid=

# Windows path of a file. Every Wine command gets its output sent to the log:
# the first one starts Wine's background processes, which keep its output
# channels open, and a caller reading the script's output through a pipe would
# otherwise wait for them to end.
win_path() { winepath -w "$1" 2>>"$log"; }

cleanup() {
  local rc=$?
  if [ "$own_display" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      kill "$xvfb_pid" 2>/dev/null || true
      wait "$xvfb_pid" 2>/dev/null || true
    fi
  fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A display is usable when a small X client can talk to it; with none of the
# usual probes installed, trust DISPLAY as it is.
display_ok() {
  if have xwininfo; then timeout 2 xwininfo -root >/dev/null 2>&1
  elif have xdpyinfo; then timeout 2 xdpyinfo >/dev/null 2>&1
  elif have xset; then timeout 2 xset q >/dev/null 2>&1
  else return 0
  fi
}

start_xvfb() {
  have Xvfb || die "no reachable display and Xvfb is not installed"
  local n
  for n in $(seq 77 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$BUILD_DIR/demo-xvfb.log" 2>&1 &
    xvfb_pid=$!
    own_display=1
    export DISPLAY=:$n
    for _ in $(seq 1 50); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if [ -e "/tmp/.X11-unix/X$n" ] && display_ok; then
        say "started Xvfb on display :$n"
        return 0
      fi
      sleep 0.2
    done
    # This number was taken after all, or the server did not come up: next one.
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
    own_display=0
  done
  die "could not start Xvfb on any display from :77 to :120"
}

if [ -n "${DISPLAY:-}" ] && display_ok; then
  say "using display $DISPLAY"
else
  start_xvfb
fi

# A watcher left running by an earlier demo would keep this run's copy from
# starting (single instance), so end whatever still runs in the demo prefix.
if [ -d "$WINEPREFIX" ]; then
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
fi

# ---------------------------------------------------------------- 2. prefix
# The prefix maker keeps a prefix made with the same settings and makes it
# anew otherwise (the first time, or at another KW_DPI).
say "preparing the Wine prefix $WINEPREFIX at ${KW_DPI:-96} DPI (a minute when it is made anew)"
bash "$repo/tests/wine/prefix.sh" create "$WINEPREFIX" 800x600 >>"$log" 2>&1 \
  || die "could not create the Wine prefix; see $log"

drive_c=$WINEPREFIX/drive_c

# ---------------------------------------------------------------- 3. mail
# The sample directory is laid anew on every run, so each run starts with the
# same four waiting messages and the one the client is still writing.
mail_dir=$drive_c/CorvidMail/NewMail
mkdir -p "$mail_dir"
find "$mail_dir" -mindepth 1 -maxdepth 1 -type f -delete
copy_message() { # source, destination; line ends become CR LF whatever git did to them
  sed 's/\r*$/\r/' "$1" >"$2.part"
  mv -f -- "$2.part" "$2"
}
for f in "$repo"/demo/mail/*.CNM; do
  copy_message "$f" "$mail_dir/$(basename "$f")"
done
say "sample new-mail directory: C:\\CorvidMail\\NewMail ($mail_dir)"
# The stand-in mail client (a window of class "FRAME" titled "Corvid Mail")
# is the client program that the tray icon's double click starts.
cp -f -- "$bin_dir/CorvidStandIn.exe" "$drive_c/CorvidMail/WINCMAIL.EXE"

# ---------------------------------------------------------------- 4. settings
wine regedit /S "$(win_path "$repo/demo/tidbell-demo.reg")" >>"$log" 2>&1 \
  || die "could not import the watcher's settings; see $log"
# The watcher asks for its settings at start-up when one of these is missing.
for p in CorvidMail/WINCMAIL.EXE windows/notepad.exe; do
  [ -e "$drive_c/$p" ] || say "warning: C:\\${p//\//\\} does not exist in the prefix"
done

# ---------------------------------------------------------------- 5. start
say "starting Tidbell32 (log: $log)"
(cd "$bin_dir" && exec wine Tidbell32.exe) >>"$log" 2>&1 </dev/null &
watcher_pid=$!
launched=$SECONDS

watcher_running() { kill -0 "$watcher_pid" 2>/dev/null; }

# Waits at most $2 seconds for a window whose line in the X window tree
# holds $1 (each line reads: id "title": ("program" "class") ...); false if
# it did not come, the watcher ended, or there is no xwininfo to look with.
wait_for_window() {
  have xwininfo || return 1
  local limit=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$limit" ] && watcher_running; do
    xwininfo -root -tree 2>/dev/null | grep -qF -- "$1" && return 0
    sleep 0.5
  done
  return 1
}

# Wine may take many seconds to start on a busy machine, and a message that
# arrives before the watcher's first scan is only counted, never announced.
# The watcher scans right after it makes its hidden window "Tidbell", so the
# delivery waits for that window (or a fixed time without xwininfo).
if wait_for_window '"Tidbell": ("tidbell32.exe"' 90; then sleep 2; else sleep 4; fi
watcher_running || die "Tidbell32 ended early; see $log"

# A message that arrives while the watcher runs: its next scan finds it and
# the popup shows it. Its sender and subject are Japanese (ISO-2022-JP
# encoded words), so the screenshot shows text outside the Latin script.
copy_message "$repo/demo/mail/later/00000417.CNM" "$mail_dir/00000417.CNM"
say "delivered a new message in Japanese: C:\\CorvidMail\\NewMail\\00000417.CNM"
# The demo settings scan every 5 seconds: the popup opens at the first scan
# past the delivery. A second more lets it paint.
if wait_for_window '"New Mail!!": ("tidbell32.exe"' 30; then
  sleep 1
else
  have xwininfo && say "warning: the popup did not open within 30 seconds"
  sleep 7
fi

# ---------------------------------------------------------------- 6. screenshot
rm -f -- "$shot" "$tray_shot"
# The Wine desktop window when it can be found, else the whole screen.
target=root
if have xwininfo; then
  wid=$(xwininfo -name "Default - Wine desktop" 2>/dev/null | sed -n 's/^xwininfo: Window id: \(0x[0-9a-fA-F]*\).*/\1/p')
  [ -n "$wid" ] && target=$wid
fi
if have import; then
  import -window "$target" "$shot" 2>>"$log" || true
elif have xwd && have convert; then
  if [ "$target" = root ]; then xwd -root -silent; else xwd -id "$target" -silent; fi 2>>"$log" \
    | convert xwd:- "png:$shot" 2>>"$log" || true
fi
if [ -s "$shot" ]; then
  say "screenshot: $shot"
  # A close-up of the notification area at the right end of the taskbar.
  if [ "$target" != root ] && have convert; then
    convert "$shot" -gravity SouthEast -crop 240x24+0+0 +repage -scale 300% "$tray_shot" 2>>"$log" \
      && say "notification area close-up: $tray_shot"
  fi
else
  rm -f -- "$shot"
  say "no screenshot taken (needs ImageMagick's import, or xwd and convert)"
fi

watcher_running || die "Tidbell32 ended unexpectedly; see $log"
say "Tidbell32 is running (Wine process $watcher_pid)"

# ---------------------------------------------------------------- 7. stop or leave
if [ "$own_display" = 1 ]; then
  # DEMO_SECONDS counts from the start of the watcher; the screenshot needs
  # about 10 of them (more on a busy machine), so a shorter time only ends
  # the watcher sooner after it.
  left=$((DEMO_SECONDS - (SECONDS - launched)))
  if [ "$left" -gt 0 ]; then sleep "$left"; fi
  # Ask the watcher to close through the closer library, as an outside program
  # would; it removes its tray icon and ends by itself.
  timeout 20 wine rundll32.exe "$(win_path "$bin_dir/Shutlet.dll")",CloseTidbell >>"$log" 2>&1 || true
  for _ in $(seq 1 25); do
    watcher_running || break
    sleep 0.2
  done
  if watcher_running; then
    say "Tidbell32 did not close on request; ending the Wine session"
  else
    say "Tidbell32 closed"
  fi
  wineserver -k >/dev/null 2>&1 || true
else
  say "the watcher keeps running on $DISPLAY; to stop it:"
  say "  WINEPREFIX=$WINEPREFIX wineserver -k"
fi
