#!/usr/bin/env bash
# The man page that the build generated renders without a warning and names every subcommand
# that `lkmdb --help` lists, and the sections added to the help.
# Usage: man_page_test.sh LKMDB_PROGRAM lkmdb.1
set -uo pipefail
lkmdb=$1
page=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
groff -man -Tutf8 -ww -z "$page" 2>"$warnings" || fail "groff cannot render $page"
text=$(groff -man -Tascii -P-cbu "$page" 2>/dev/null)
[[ ! -s "$warnings" ]] || fail "groff warns: $(cat "$warnings")"

mapfile -t commands < <("$lkmdb" --help | sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z]*\) .*/\1/p')
((${#commands[@]} > 10)) || fail "lkmdb --help lists ${#commands[@]} subcommands"
for command in "${commands[@]}"; do
    grep -Eq "^ +$command( |$)" <<<"$text" || fail "the man page does not list '$command'"
done
for section in SYNOPSIS DESCRIPTION ENVIRONMENT FILES 'EXIT STATUS'; do
    grep -q "^$section" <<<"$text" || fail "the man page has no $section section"
done
grep -q LKMDB_DATABASE <<<"$text" || fail "the man page does not name LKMDB_DATABASE"
exit $failed
