#!/usr/bin/env bash
# scripts/setup-deps against a mirror in the middle of a sync: fake
# apt-get, dpkg and dpkg-query first on PATH keep a list of "installed"
# packages in a temporary directory and touch nothing of the system.
# `apt-get update` fails FAIL_UPDATES times, and the package named by
# UNINSTALLABLE cannot be installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fake=$(mktemp -d "${TMPDIR:-/tmp}/setup-deps-test.XXXXXX")
trap 'rm -rf "$fake"' EXIT
mkdir "$fake/bin"
cat >"$fake/bin/apt-get" <<'FAKE'
#!/bin/sh
while [ "${1#-}" != "$1" ]; do [ "$1" = -o ] && shift; shift; done
case $1 in
    update)
        echo update >>"$FAKE_DIR/calls"
        if [ "$(grep -c update "$FAKE_DIR/calls")" -le "$FAIL_UPDATES" ]; then
            echo "E: File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
            exit 100
        fi ;;
    install)
        shift
        for p; do [ "$p" != "${p#-}" ] || [ "$p" != "$UNINSTALLABLE" ] ||
            { echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100; }; done
        for p; do [ "$p" != "${p#-}" ] || echo "$p" >>"$FAKE_DIR/installed"; done ;;
esac
FAKE
cat >"$fake/bin/dpkg-query" <<'FAKE'
#!/bin/sh
# -W -f='${Package}:${Architecture} ${Status}\n' NAME...
shift 2
for p; do
    grep -qx "$p" "$FAKE_DIR/installed" 2>/dev/null || continue
    case $p in *:*) echo "$p install ok installed" ;; *) echo "$p:amd64 install ok installed" ;; esac
done
FAKE
cat >"$fake/bin/dpkg" <<'FAKE'
#!/bin/sh
[ "$1" = --print-architecture ] && echo amd64
[ "$1" = --print-foreign-architectures ] && cat "$FAKE_DIR/arches" 2>/dev/null
[ "$1" = --add-architecture ] && echo "$2" >>"$FAKE_DIR/arches"
exit 0
FAKE
printf '#!/bin/sh\nexec "$@"\n' >"$fake/bin/sudo"
chmod +x "$fake/bin/"*
failures=0

# run NAME EXPECTED-STATUS FAIL-UPDATES UNINSTALLABLE [STRICT]: runs
# setup-deps for the wine group on an empty "system".
run() {
    local name=$1 expected=$2 status=0
    rm -f "$fake/calls" "$fake/installed" "$fake/arches"
    PATH="$fake/bin:$PATH" FAKE_DIR=$fake FAIL_UPDATES=$3 UNINSTALLABLE=$4 UC_STRICT_DEPS=${5:-0} \
        UC_APT_UPDATE_TRIES=3 UC_APT_UPDATE_PAUSE=0 \
        bash "$root/scripts/setup-deps" wine >"$fake/out" 2>&1 || status=$?
    updates=$(grep -c update "$fake/calls" || true)
    if [ "$status" != "$expected" ]; then
        echo "FAIL: $name: exit status $status, expected $expected"; cat "$fake/out"; failures=$((failures + 1))
        return 1
    fi
}
expect() {  # expect NAME CONDITION-TEXT COMMAND...
    local name=$1 what=$2; shift 2
    "$@" || { echo "FAIL: $name: $what"; cat "$fake/out"; failures=$((failures + 1)); }
}

run "update fails twice" 0 2 none &&
    expect "update fails twice" "three updates" test "$updates" = 3 &&
    expect "update fails twice" "wine32 installed" grep -qx wine32:i386 "$fake/installed" &&
    expect "update fails twice" "i386 added" grep -qx i386 "$fake/arches"
run "update always fails, wine32 uninstallable" 0 99 wine32:i386 &&
    expect "update always fails" "three updates" test "$updates" = 3 &&
    expect "update always fails" "goes on" grep -q "going on with the package indexes" "$fake/out" &&
    expect "update always fails" "the rest installed" grep -qx wine64 "$fake/installed" &&
    expect "update always fails" "one line naming wine32" grep -qx "setup-deps: not installed: wine32:i386" "$fake/out"
run "UC_STRICT_DEPS=1" 1 0 wine32:i386 1 &&
    expect "UC_STRICT_DEPS=1" "names the missing package" grep -q "not installed: wine32:i386" "$fake/out"
[ $failures = 0 ] || exit 1
echo "setup-deps: retried the update, went on without it, installed what it could, strict mode failed"
