#!/usr/bin/env bash
# Installs a build into a scratch folder with cmake --install and makes its
# Debian package with CPack, then checks both: the program and the manual page
# where they belong, the installed program converting the example table, and
# man rendering the installed page.
#   tests/package/check_package.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: check_package.sh BUILD_DIR}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null
test -x "$scratch/usr/bin/tabdump"
test -f "$scratch/usr/share/man/man1/tabdump.1.gz"
"$scratch/usr/bin/tabdump" examples/customers.dat "$scratch/customers.txt" /h
head -c 2 "$scratch/customers.txt" | grep -q . || { echo "the installed tabdump wrote nothing"; exit 1; }
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$scratch/usr/share/man/man1/tabdump.1.gz" \
  >"$scratch/page.txt" 2>"$scratch/warnings.txt"
if [ -s "$scratch/warnings.txt" ]; then cat "$scratch/warnings.txt"; exit 1; fi
grep -q '^SYNOPSIS' "$scratch/page.txt"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tabdump_*.deb | head -n 1)
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/tabdump ./usr/share/man/man1/tabdump.1.gz; do
  grep -q " $path\$" <<<"$contents" || { echo "$deb lacks $path"; echo "$contents"; exit 1; }
done
dpkg-deb -f "$deb" Package Version Depends
echo "package: $deb"
