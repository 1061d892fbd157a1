#!/usr/bin/env bash
# Makes DIR a Debian root of SUITE (debootstrap --variant=minbase from
# Debian's archive) with PACKAGES installed (apt-get, no recommends). The
# first run keeps it as a tarball in UC_ROOT_CACHE (/var/cache/dravex-roots),
# named from the suite and the packages; later runs unpack that. Exits 77
# with one line saying why where no root can be made (not root, no
# debootstrap, no archive).
#   debian-root.sh SUITE DIR [PACKAGE...]
set -euo pipefail
suite=$1 dir=$2
shift 2
cache=${UC_ROOT_CACHE:-/var/cache/dravex-roots}
mirror=${UC_DEBIAN_MIRROR:-http://deb.debian.org/debian}
key=$(printf '%s\n' "$suite" "$@" | sha256sum | cut -c1-12)
tarball=$cache/$suite-$key.tar.zst
cannot() { echo "cannot make a Debian $suite root: $*" >&2; exit 77; }
[ "$(id -u)" -eq 0 ] || cannot "needs root"
mkdir -p "$dir"
if [ -f "$tarball" ]; then
    tar -I zstd -xf "$tarball" -C "$dir"
    exit 0
fi
command -v debootstrap >/dev/null && command -v zstd >/dev/null ||
    cannot "no debootstrap or zstd (scripts/setup-deps roots)"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "making a Debian $suite root (once; cached as $tarball)"
debootstrap --variant=minbase "$suite" "$dir" "$mirror" >"$log" 2>&1 ||
    { tail -n 5 "$log" >&2; cannot "debootstrap failed"; }
if [ $# -gt 0 ]; then
    cp /etc/resolv.conf "$dir/etc/resolv.conf"
    # A private mount namespace: /proc and /dev of the root go with it.
    unshare -m sh -c '
        dir=$1; shift
        mount -t proc proc "$dir/proc" && mount --bind /dev "$dir/dev" &&
        DEBIAN_FRONTEND=noninteractive chroot "$dir" apt-get install -y -qq --no-install-recommends "$@" &&
        chroot "$dir" apt-get clean' root "$dir" "$@" >"$log" 2>&1 ||
        { tail -n 5 "$log" >&2; cannot "installing $* failed"; }
fi
mkdir -p "$cache"
# zstd: a root with the Qt and Tango packages is over 1 GB, gzip takes minutes.
tar -I 'zstd -T0 -3' -cf "$tarball.part" -C "$dir" . && mv "$tarball.part" "$tarball"
