#!/usr/bin/env bash
# The x86-64 wheel on an older system: a Debian 11 root (glibc 2.31, Python
# 3.9; tests/roots/debian-root.sh, cached) gets a venv of its Python, the
# wheel is installed there with pip from the file alone (no package index
# is reachable), and wheel_smoke.py finds, opens and moves a simulated
# controller. The simulator runs outside the root, in the same private
# network namespace. Skips with one line (also to UC_SKIP_LOG) where the
# root cannot be made.
#   test_wheel_bullseye.sh WHEEL POSITIONER-SIM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root_dir=$(cd "$here/../.." && pwd)
wheel=$(readlink -f "$1") sim=$(readlink -f "$2")
. "$here/root-test.sh"
root_test wheel-bullseye "the wheel on Debian 11" bullseye python3 python3-venv
cp "$wheel" "$here/wheel_smoke.py" "$work/root/tmp/"
# Inside a private network and mount namespace: the simulator from this
# machine, the rest in the root.
status=0
"$root_dir/tests/support/netns-run.sh" unshare -m sh -c '
    root=$1 sim=$2 wheel=$3
    ip route replace 224.0.0.0/4 dev lo || exit 77
    mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" || exit 1
    out=$(mktemp)
    "$sim" --quiet >"$out" & pid=$!
    trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -f $out" EXIT INT TERM
    for _ in $(seq 50); do grep -q "^controller" "$out" && break; sleep 0.1; done
    grep -q "^controller" "$out" || { echo "positioner-sim did not start"; exit 1; }
    chroot "$root" sh -ec "
        python3 -m venv /tmp/venv
        /tmp/venv/bin/pip install --no-index --no-deps --disable-pip-version-check -q /tmp/$wheel
        cd / && timeout 120 /tmp/venv/bin/python /tmp/wheel_smoke.py"
    ' wheel-bullseye "$work/root" "$sim" "$(basename "$wheel")" || status=$?
case $status in
    0) echo "wheel on Debian 11: OK ($(basename "$wheel"))" ;;
    77) skip "no private network namespace" ;;
    *) echo "wheel on Debian 11: FAILED ($status)"; exit 1 ;;
esac
