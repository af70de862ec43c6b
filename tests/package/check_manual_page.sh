#!/usr/bin/env bash
# The manual page renders without a warning from man and groff, and names
# every switch that the program recognises.  Exit 77 (skipped) without man.
#   tests/package/check_manual_page.sh SOURCE_DIR
set -uo pipefail
source_dir=${1:?usage: check_manual_page.sh SOURCE_DIR}
command -v man >/dev/null || { echo "man is not installed: skipped"; exit 77; }
page="$source_dir/man/tabdump.1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" >"$out/page.txt" 2>"$out/warnings.txt"
status=$?
if [ $status -ne 0 ] || [ -s "$out/warnings.txt" ]; then
  echo "man -l $page: exit status $status"
  cat "$out/warnings.txt"
  exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
  grep -q "^$section" "$out/page.txt" || { echo "the section $section is missing"; exit 1; }
done
# Every switch named in the command-line decoder, by its text there.
missing=0
for switch in $(grep -ohE '"/[A-Z]+=?"' "$source_dir/app/settings/run_settings.cc" | tr -d '"=' | tr 'A-Z' 'a-z' | sort -u); do
  if ! grep -qiw -- "$switch" "$out/page.txt"; then
    echo "the switch $switch is not in the manual page"
    missing=1
  fi
done
exit $missing
