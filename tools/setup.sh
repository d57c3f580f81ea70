#!/usr/bin/env bash
# Installs what the build, the tests and the demo need and the machine lacks,
# from Debian's own packages (Ubuntu's names are the same). Every entry point
# (tools/test.sh, tools/demo.sh, tools/bench.sh, .ci/run) runs it first; when
# nothing is missing it only looks and returns.
#
# As root it installs; as another user it uses sudo when sudo works without a
# question; otherwise it prints the one apt-get command to run and fails.
#
# Package mirrors are often caught in the middle of a sync. An index that
# fails to download is reported and the install goes on with the others. If
# the install then fails because a suite's i386 index is missing while its
# amd64 index is there (Multi-Arch "same" packages must carry one version on
# both architectures, and apt would take the amd64 one from that suite), the
# install is tried once more with that suite pinned below the installed
# versions, so that both architectures come from the same suites.
set -euo pipefail

say() { printf 'setup: %s\n' "$*"; }
die() { printf 'setup: %s\n' "$*" >&2; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

# ------------------------------------------------------------ what is missing
# One line a need: the package and the file or command that shows it is there.
needs=(
  "g++-mingw-w64-i686-posix  i686-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686   i686-w64-mingw32-windres"
  "g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres"
  "cmake                     cmake"
  "make                      make"
  "wine                      wine"
  "wine32:i386               /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll"
  "wine64                    /usr/lib/wine/wine64"
  "fonts-wine                /usr/share/wine/fonts/marlett.ttf"
  "fonts-dejavu-core         /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
  "fonts-wqy-microhei        /usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
  "xvfb                      xvfb-run"
  "xauth                     xauth"
  "googletest                /usr/src/googletest/CMakeLists.txt"
  "nsis                      makensis"
  "lld                       lld-link"
  "llvm                      llvm-dlltool"
  "imagemagick               import"
  "x11-utils                 xwininfo"
)

# The packages whose probe is not there, one a line.
lacking() {
  local n pkg probe
  for n in "${needs[@]}"; do
    read -r pkg probe <<<"$n"
    case $probe in
      /*) [ -e "$probe" ] || echo "$pkg" ;;
      *) have "$probe" || echo "$pkg" ;;
    esac
  done
}

mapfile -t missing < <(lacking)
foreign_ok=1
have dpkg && { dpkg --print-foreign-architectures | grep -qx i386 || foreign_ok=0; }
# Wine's 32-bit programs must run, natively or emulated.
i386_code() {
  local script
  script="$(dirname "${BASH_SOURCE[0]}")/i386-emulation.sh"
  if [ "$(id -u)" != 0 ] && have sudo && sudo -n true 2>/dev/null; then sudo -n bash "$script"; else bash "$script"; fi
}
if [ ${#missing[@]} -eq 0 ] && [ "$foreign_ok" = 1 ]; then i386_code; exit 0; fi

have apt-get || die "missing: ${missing[*]}; this machine has no apt-get, install them by hand"

# ------------------------------------------------------------ who installs
if [ "$(id -u)" = 0 ]; then
  as_root=()
elif have sudo && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  printf 'setup: missing: %s\n' "${missing[*]}" >&2
  printf 'setup: run this once as root, then try again:\n' >&2
  printf '  dpkg --add-architecture i386 && apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends %s\n' "${missing[*]}" >&2
  exit 1
fi
root() { "${as_root[@]}" "$@"; }
export DEBIAN_FRONTEND=noninteractive
apt_opts=(-y -q -o Dpkg::Use-Pty=0 -o APT::Get::Show-Versions=0 --no-install-recommends)
log=$(mktemp "${TMPDIR:-/tmp}/kw-setup.XXXXXX")
trap 'rm -f "$log"' EXIT

started=$SECONDS
say "installing ${missing[*]} (the first time takes a few minutes)"
if [ "$foreign_ok" = 0 ]; then
  root dpkg --add-architecture i386
fi

failed_suites=()
update() {
  if root apt-get update -q >"$log" 2>&1; then return 0; fi
  # Some index did not arrive; the others are in place and may well do.
  say "warning: a package index failed to download; going on with the others:"
  grep -E '^(E|W): ' "$log" | sed 's/^/setup:   /' | head -5 >&2 || true
  mapfile -t failed_suites < <(grep -oE 'Failed to fetch [^ ]*/dists/[^/ ]+/' "$log" \
                               | sed -E 's#.*/dists/([^/]+)/#\1#' | sort -u)
}

install() { root apt-get install "${apt_opts[@]}" "$@" >"$log" 2>&1; }

fail() { cat "$log" >&2; die "the install failed (see above)"; }

update
if ! install "${missing[@]}"; then
  grep -qE 'held broken packages|unmet dependencies' "$log" && [ ${#failed_suites[@]} -gt 0 ] || fail
  say "retrying with ${failed_suites[*]} left out for this install, since its i386 index is missing and both architectures must come from the same suites"
  prefs=$(mktemp "${TMPDIR:-/tmp}/kw-setup-prefs.XXXXXX")
  trap 'rm -f "$log" "$prefs"' EXIT
  for s in "${failed_suites[@]}"; do
    # Below the installed versions' 100: nothing is taken from the suite.
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 50\n\nPackage: *\nPin: release a=%s\nPin-Priority: 50\n\n' "$s" "$s"
  done >"$prefs"
  chmod 644 "$prefs"
  install -o Dir::Etc::Preferences="$prefs" "${missing[@]}" || fail
fi

# Everything should be there now.
mapfile -t still < <(lacking)
[ ${#still[@]} -eq 0 ] || die "installed, but still missing: ${still[*]}"
i386_code
say "done in $((SECONDS - started)) s"
