#!/usr/bin/env bash
# Makes sure this machine can run the 32-bit (i386) Linux programs that
# 32-bit Wine is made of; tools/setup.sh runs it after its install.
#
# Some virtual machines run 64-bit user code only: the kernel refuses every
# i386 program ("Exec format error") and offers no 32-bit code segment, so
# neither Wine's 32-bit loader nor its WoW64 mode can run there. On such a
# machine the i386 programs are handed to QEMU's user-mode emulator through
# binfmt_misc, which is slower but runs the same Wine and the same tests.
# Debian 12's QEMU (7.2) loops for ever while Wine reserves its address
# space; QEMU 10 does not, so its emulator (a static program) is taken from
# the package of Debian 13, through this machine's own package sources.
#
# Needs root for binfmt_misc, as the install does; a machine that runs i386
# code itself is left alone.
set -euo pipefail

say() { printf 'setup: %s\n' "$*"; }
die() { printf 'setup: %s\n' "$*" >&2; exit 1; }

probe=/lib/ld-linux.so.2           # libc6:i386, which wine32 brings
emulator=/usr/local/lib/kw-i386/qemu-i386
entry=/proc/sys/fs/binfmt_misc/kw-i386
suite=trixie

runs_i386() { "$probe" --version >/dev/null 2>&1; }

[ -e "$probe" ] || exit 0
# binfmt_misc is the kernel's one table, but a chroot (tools/fresh-check.sh)
# sees it only once mounted there.
if [ ! -e /proc/sys/fs/binfmt_misc/register ] && [ "$(id -u)" = 0 ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
# Registered already (this boot), with the server at hand: nothing to do.
[ -e "$entry" ] && [ -x /usr/lib/wine/wineserver64 ] && runs_i386 && exit 0
runs_i386 && [ ! -e "$entry" ] && exit 0
[ "$(id -u)" = 0 ] || die "this machine cannot run i386 programs; run tools/setup.sh once as root to set up their emulation"

# The emulator, once per machine.
if [ ! -x "$emulator" ]; then
  say "this machine runs no 32-bit code; fetching QEMU's i386 user-mode emulator from $suite"
  work=$(mktemp -d "${TMPDIR:-/tmp}/kw-qemu.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  # The archive this machine installs Debian from, with the newer suite.
  uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' 2>/dev/null \
        | awk '$2 !~ /-(security|updates|backports)$/ { print $1; exit }')
  [ -n "$uri" ] || die "no Debian archive among this machine's package sources"
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  echo "deb $uri $suite main" >"$work/sources.list"
  apt_in_work=(-q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
               -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
  apt-get "${apt_in_work[@]}" update >"$work/log" 2>&1 || { cat "$work/log" >&2; die "could not read $suite's package index"; }
  (cd "$work" && apt-get "${apt_in_work[@]}" download qemu-user >>"$work/log" 2>&1) \
    || { cat "$work/log" >&2; die "could not download $suite's qemu-user"; }
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/root"
  mkdir -p "$(dirname "$emulator")"
  install -m 755 "$work/root/usr/bin/qemu-i386" "$emulator"
fi

# The native Wine server (tests/wine/env.sh picks it): the emulator cannot
# trace processes, which the server does to reach their memory.
if [ ! -x /usr/lib/wine/wineserver64 ]; then
  say "installing wine64 for its native Wine server"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends wine64 >/dev/null \
    || die "could not install wine64"
fi

# Hand i386 programs to it (until the next boot).
[ -e /proc/sys/fs/binfmt_misc/register ] || die "cannot mount binfmt_misc"
[ -e "$entry" ] && echo -1 >"$entry"
# i386 ELF executables and shared objects; F opens the emulator now, so it
# serves inside chroots and mount namespaces as well.
printf '%s' ':kw-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':F' \
  >/proc/sys/fs/binfmt_misc/register
runs_i386 || die "i386 programs still do not run under $emulator"
say "i386 programs run under QEMU's user-mode emulator ($("$emulator" --version | head -1))"
