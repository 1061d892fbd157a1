#!/usr/bin/env bash
# scripts/check-portable passes the libraries of a build tree (linked to the
# glibc 2.17 baseline) and fails the same libraries linked the usual way
# (UC_GLIBC_BASELINE=OFF, built in build-test-usual-link/ beside it).
#   test_check_portable.sh BUILD-TREE
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=$1
check=$root/scripts/check-portable
bash "$check" "$tree/src/libdravex.so.1" "$tree/src/libtormak.so.1"
usual=$(dirname "$tree")/build-test-usual-link
cmake -S "$root" -B "$usual" -DCMAKE_BUILD_TYPE=Release -DUC_BUILD_TESTS=OFF -DUC_GLIBC_BASELINE=OFF >/dev/null
cmake --build "$usual" -j"$(nproc)" --target dravex tormak >/dev/null
if out=$(bash "$check" "$usual/src/libdravex.so.1" "$usual/src/libtormak.so.1"); then
    echo "FAIL: check-portable passed libraries linked without the baseline measures"
    exit 1
fi
past=$(printf '%s\n' "$out" | grep 'FAIL: past the glibc 2.17 baseline:' || true)
grep -q 'GLIBCXX_' <<<"$past" && grep -q 'GLIBC_2\.3[4-9]' <<<"$past" ||
    { echo "FAIL: check-portable failed for another reason:"; printf '%s\n' "$out"; exit 1; }
echo "check-portable refuses the libraries linked the usual way:"
printf '%s\n' "$out" | grep 'FAIL: past' | sed 's/^ */    /'
