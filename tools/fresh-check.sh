#!/usr/bin/env bash
# Tries the README's two commands as a newcomer would meet them: builds a bare
# Debian 12 root (debootstrap minbase plus git, g++, cmake and make), gives it
# this machine's package sources, clones this repository into it (what is
# committed on the current branch) and runs `bash tools/test.sh` and then
# `bash tools/demo.sh` there, with no other command before them and in a
# clean environment (PATH, HOME and TERM only; no LANG). Prints both results
# and where the screenshots are.
#
# Needs root (debootstrap and chroot) and takes a good many minutes: most of
# it is the first run's package download and the build.
#
# Environment:
#   FRESH_ROOT    where the Debian root goes (default /var/tmp/kw-fresh-root);
#                 it is made anew on every run and kept afterwards
#   FRESH_MIRROR  the Debian mirror for debootstrap (default: the first one in
#                 this machine's sources, else deb.debian.org)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${FRESH_ROOT:-/var/tmp/kw-fresh-root}
say() { printf 'fresh-check: %s\n' "$*"; }
die() { printf 'fresh-check: %s\n' "$*" >&2; exit 1; }

[ "$(id -u)" = 0 ] || die "needs root (debootstrap and chroot)"
case $root in /|/usr|/var|/tmp|/home) die "FRESH_ROOT=$root is not a place to make a Debian root" ;; esac

if ! command -v debootstrap >/dev/null; then
  say "installing debootstrap"
  apt-get update -q >/dev/null 2>&1 || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null \
    || die "could not install debootstrap"
fi

mirror=${FRESH_MIRROR:-}
if [ -z "$mirror" ]; then
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null \
             | grep -oE 'https?://[^ ]*/debian/?( |$)' | grep -v security | head -1 | tr -d ' ' || true)
  mirror=${mirror:-http://deb.debian.org/debian}
fi

mounted=()
unmount() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  mounted=()
}
trap unmount EXIT
mount_in() { mkdir -p "$root$2"; mount "${@:3}" "$1" "$root$2"; mounted+=("$root$2"); }

# A root left by an earlier run may still have something mounted in it.
for m in dev/pts dev sys proc; do umount -l "$root/$m" 2>/dev/null || true; done
rm -rf --one-file-system "$root"
mkdir -p "$root"

start=$(date +%s)
say "debootstrap bookworm (minbase + git g++ cmake make) into $root from $mirror"
debootstrap --variant=minbase --include=git,g++,cmake,make,ca-certificates bookworm "$root" "$mirror" \
  >"$root.debootstrap.log" 2>&1 || { tail -20 "$root.debootstrap.log" >&2; die "debootstrap failed"; }

# The host's package sources, as a newcomer's machine would have its own.
rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && cp "$f" "$root$f"
done
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mount_in proc /proc -t proc
mount_in sysfs /sys -t sysfs
mount_in /dev /dev --bind
mount_in devpts /dev/pts -t devpts

say "cloning $repo ($(git -C "$repo" rev-parse --short HEAD))"
git clone -q --no-hardlinks "$repo" "$root/root/kw"

# A clean environment, as a new machine's login has it: no locale at all, so
# the scripts must set the one Wine needs themselves.
inside() {
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/kw && $1"
}

say "running: bash tools/test.sh"
t0=$(date +%s)
test_rc=0
inside "bash tools/test.sh" >"$root.test.log" 2>&1 || test_rc=$?
t1=$(date +%s)
say "running: bash tools/demo.sh"
demo_rc=0
inside "bash tools/demo.sh" >"$root.demo.log" 2>&1 || demo_rc=$?
t2=$(date +%s)

echo
say "test.sh: exit $test_rc after $((t1 - t0)) s (log: $root.test.log)"
grep -E 'tests passed|tests failed|\*\*\*Failed|Not Run' "$root.test.log" | sed 's/^/  /' || true
say "demo.sh: exit $demo_rc after $((t2 - t1)) s (log: $root.demo.log)"
tail -4 "$root.demo.log" | sed 's/^/  /'
say "screenshots:"
found=0
for f in "$root"/root/kw/build/demo-screenshot*.png "$root"/root/kw/build/*/artifacts/*.bmp; do
  [ -f "$f" ] && { echo "  $f"; found=1; }
done
[ "$found" = 1 ] || echo "  none"
say "total $(( $(date +%s) - start )) s"
[ "$test_rc" = 0 ] && [ "$demo_rc" = 0 ] && [ "$found" = 1 ]
