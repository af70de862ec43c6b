#!/usr/bin/env bash
# Regenerates runtime/code_page_tables.h from Windows' own conversion: builds
# generate.cc with mingw-w64 and runs it under Wine in a fresh, temporary
# prefix.  Needs g++-mingw-w64-x86-64-posix and wine64.
#   tools/code_page_tables/regenerate.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
tmp=$(mktemp -d)
trap 'WINEPREFIX=$tmp/prefix "$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -static -o "$tmp/generate.exe" tools/code_page_tables/generate.cc
WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C \
  "$wine" "$tmp/generate.exe" </dev/null >"$tmp/code_page_tables.h"
mv "$tmp/code_page_tables.h" runtime/code_page_tables.h
echo "runtime/code_page_tables.h: $(wc -c <runtime/code_page_tables.h) bytes"
