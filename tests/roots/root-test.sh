# Sourced by the root tests (which set $here and $root_dir).
#   root_test NAME WHAT SUITE PACKAGE...
# makes a work directory $work (removed on exit, nothing mounted inside it
# ever removed) and the cached Debian root of SUITE with the PACKAGEs in
# $work/root (debian-root.sh); where no root can be made it skips.
#   skip REASON
# says on one line that WHAT was skipped (scripts/skipped-step) and exits 0.
root_test() {
    local name=$1 suite=$3 status=0
    skip_what=$2
    shift 3
    work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
    trap 'rm -rf --one-file-system "$work"' EXIT
    "$here/debian-root.sh" "$suite" "$work/root" "$@" 2>"$work/why" || status=$?
    [ $status = 77 ] && skip "$(tail -n 1 "$work/why")"
    [ $status = 0 ] || { cat "$work/why" >&2; exit 1; }
}

skip() {
    bash "$root_dir/scripts/skipped-step" "$skip_what ($1)"
    exit 0
}
