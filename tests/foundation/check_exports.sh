#!/bin/sh
# Checks the dynamic symbol tables of both libraries against the exported
# interface: each library exports exactly its own functions plus the trace
# functions and the threading classes, and tormak depends on nothing of
# dravex and on no libusb.
set -u
dravex=$1 tormak=$2 lists=$3
status=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

defined() { nm -DC --defined-only "$1" | awk '$2 ~ /^[TDBVWRu]$/ { $1=""; $2=""; sub(/^  /, ""); print }' | sort -u; }

# expect LIB ALLOWED-LIST: every listed name is exported and nothing else.
expect() {
    defined "$1" > "$tmp/actual"
    sort -u "$2" > "$tmp/wanted"
    missing=$(comm -13 "$tmp/actual" "$tmp/wanted")
    extra=$(comm -23 "$tmp/actual" "$tmp/wanted")
    if [ -n "$missing" ]; then echo "$(basename "$1") lacks exports:"; echo "$missing"; status=1; fi
    if [ -n "$extra" ]; then echo "$(basename "$1") exports more than its interface:"; echo "$extra"; status=1; fi
}

# dravex: the Positioner functions, the trace functions and the threading
# classes; tormak: the TMK_ functions and the trace functions.
cut -d' ' -f1 "$lists/positioner.txt" | cat "$lists/common.txt" "$lists/thread.txt" - > "$tmp/dravex.allowed"
cut -d' ' -f1 "$lists/tmk.txt" | cat "$lists/common.txt" - > "$tmp/tormak.allowed"
expect "$dravex" "$tmp/dravex.allowed"
expect "$tormak" "$tmp/tormak.allowed"

needed=$(readelf -d "$tormak" | grep NEEDED)
if echo "$needed" | grep -q -E 'dravex|libusb'; then
    echo "libtormak depends on dravex or libusb:"; echo "$needed"; status=1
fi
if nm -D --undefined-only "$tormak" | grep -q -E ' usb_| Positioner| UC_'; then
    echo "libtormak refers to libusb or dravex symbols"; status=1
fi
[ $status -eq 0 ] && echo "exports as expected"
exit $status
