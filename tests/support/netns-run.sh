#!/bin/sh
# Runs a test program inside a private network namespace with only a
# loopback interface (multicast enabled), so no test traffic can leave it.
# Exits 77 (skipped) where no namespace can be made.
if [ "${UC_IN_PRIVATE_NETNS:-}" = 1 ]; then
    exec "$@"
fi
if ! command -v unshare >/dev/null 2>&1 || ! command -v ip >/dev/null 2>&1; then
    echo "SKIPPED: unshare or ip not available; network tests need a private network namespace" >&2
    exit 77
fi
if ! unshare -n true 2>/dev/null; then
    echo "SKIPPED: cannot create a private network namespace (needs root); network tests not run" >&2
    exit 77
fi
exec unshare -n sh -c '
    ip link set lo up && ip link set lo multicast on || exit 77
    UC_IN_PRIVATE_NETNS=1 exec "$@"' netns-run "$@"
