#!/usr/bin/env bash
# The Debian packages of scripts/build-debs in a clean Debian 12 root
# (tests/roots/debian-root.sh, cached, with the packages they depend on
# already there, so that the install needs no network): `apt-get install
# ./*.deb`, then positioner --version, positioner list against the
# packaged positioner-sim, import dravex with Debian's python3,
# positioner-gui --help and positioner-tango --help, all inside a private
# network namespace. Skips with one line (also to UC_SKIP_LOG) where the
# root cannot be made.
#   test_debs_bookworm.sh DEB...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root_dir=$(cd "$here/../.." && pwd)
. "$here/root-test.sh"
root_test debs-bookworm "the Debian packages on Debian 12" bookworm python3 python3-pyqt5 python3-pyqtgraph python3-tango \
    libusb-0.1-4
mkdir "$work/root/tmp/debs"
cp "$@" "$work/root/tmp/debs/"
cat >"$work/root/tmp/run.sh" <<'INSIDE'
set -eu
cd /tmp/debs
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./*.deb >/tmp/apt.log 2>&1 ||
    { tail -n 20 /tmp/apt.log; exit 1; }
echo "# positioner --version"; positioner --version
positioner-sim --quiet >/tmp/sim.out 2>&1 & sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null' EXIT INT TERM
for _ in $(seq 50); do grep -q '^controller' /tmp/sim.out && break; sleep 0.1; done
echo "# positioner list"; positioner list | tee /tmp/list.out
grep -q '127\.0\.0\.2' /tmp/list.out || { echo "positioner list did not show the simulator"; exit 1; }
echo "# python3 -c 'import dravex'"
/usr/bin/python3 -c 'import dravex; print(dravex.__file__, [c.address for c in dravex.find_controllers()])'
echo "# positioner-gui --help"
QT_QPA_PLATFORM=offscreen positioner-gui --help >/tmp/gui.out
head -n 2 /tmp/gui.out; grep -q '^usage: positioner-gui' /tmp/gui.out
# The server imports tango before it answers with its usage (status 2).
echo "# positioner-tango --help"
positioner-tango --help >/tmp/tango.out 2>&1 || [ $? = 2 ]
head -n 2 /tmp/tango.out; grep -q '^usage: positioner-tango' /tmp/tango.out
INSIDE
status=0
"$root_dir/tests/support/netns-run.sh" unshare -m sh -c '
    root=$1
    ip route replace 224.0.0.0/4 dev lo || exit 77
    mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" || exit 1
    timeout 300 chroot "$root" sh /tmp/run.sh' debs-bookworm "$work/root" || status=$?
case $status in
    0) echo "Debian packages on Debian 12: OK" ;;
    77) skip "no private network namespace" ;;
    *) echo "Debian packages on Debian 12: FAILED ($status)"; exit 1 ;;
esac
