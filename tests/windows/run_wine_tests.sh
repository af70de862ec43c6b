#!/usr/bin/env bash
# Cross-builds TABDUMP.EXE with mingw-w64 and runs the end-to-end tests against
# it under Wine: the cases of the Linux suite with the same expected bytes, and
# the cases only Windows has (tests/windows/windows_end_to_end_test.cc).
#
#   tests/windows/run_wine_tests.sh [linux-build-folder] [windows-build-folder]
#
# The Linux build folder (default build-wine-tests) gets the native tabdump and
# the test program; an existing one (such as CI's) is reused. TABDUMP.EXE lands
# in <windows-build-folder>/app/ (default build-win). Needs cmake, g++,
# libgtest-dev, g++-mingw-w64-x86-64-posix, wine64 and locales; .ci/run
# installs them.
#
# Regional settings: Wine gives a program the user locale named by LC_ALL (or
# LANG), and LC_ALL=C gives English (United States), whose short date is
# M/d/yyyy and time h:mm:ss tt. The shared cases expect the texts of the C
# locale on Linux (2020-12-31, 23:59:58), so the Wine prefix they run in sets
# the user's short date and time formats to yyyy-MM-dd and HH:mm:ss in the
# registry, the way a user sets them in the Control Panel. Wine drops such
# settings when a program starts under another locale, so the tests of the
# locale itself (English (United States), German) get a second prefix without
# them. Both prefixes are fresh, in a temporary folder removed at the end.
#
# The last line is the count: "N passed, N failed[, N skipped]".
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux_build=${1:-build-wine-tests}
win_build=${2:-build-win}
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

passed=0
failed=0
skipped=0
fail() {
  echo "FAILED: $*"
  failed=$((failed + 1))
}
finish() {
  echo "$passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
  fail "Wine is not installed (apt-get install --no-install-recommends wine64)"
  finish
fi

echo "== TABDUMP.EXE (mingw-w64, $win_build)"
if ! cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
     -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABDUMP_TESTS=OFF -DTABDUMP_WERROR=ON -DTABDUMP_WINE_HELPER=ON >/dev/null ||
   ! cmake --build "$win_build" -j"$jobs"; then
  fail "the Windows build"
  finish
fi
exe=$root/$win_build/app/TABDUMP.EXE
helper=$root/$win_build/run_command_line.exe
code_page_check=$root/$win_build/code_page_check.exe

# The program must run on a bare Windows: only DLLs that come with it.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(echo $imports)"
foreign=$(echo "$imports" | grep -viE '^(kernel32|user32|advapi32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$')
if [ -z "$foreign" ] && [ -n "$imports" ]; then
  passed=$((passed + 1))
else
  fail "TABDUMP.EXE needs DLLs that Windows does not ship: $foreign"
fi

echo "== native tabdump and the test program ($linux_build)"
if ! cmake -S . -B "$linux_build" -DTABDUMP_WINE_TESTS=ON >/dev/null ||
   ! cmake --build "$linux_build" -j"$jobs" --target tabdump make_table wine_end_to_end_tests; then
  fail "the Linux build of the tests"
  finish
fi

echo "== Wine prefixes"
tmp=$(mktemp -d)
export WINEDEBUG=-all
stop_wine() {
  for prefix in "$tmp/plain" "$tmp/iso"; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
  done
  rm -rf "$tmp"
}
trap stop_wine EXIT
# No Mono or Gecko: the prefix needs neither, and asking for them is slow.
if ! WINEPREFIX=$tmp/plain WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C "$wine" wineboot -i >"$tmp/wineboot.log" 2>&1; then
  cat "$tmp/wineboot.log"
  fail "wineboot"
  finish
fi
# The registry reaches the disk when the server ends.
WINEPREFIX=$tmp/plain "$wineserver" -w
cp -a "$tmp/plain" "$tmp/iso"
for prefix in "$tmp/plain" "$tmp/iso"; do
  # One server per prefix stays up meanwhile (ending 30 s after its last
  # program), so that each program starts quickly. The first program starts
  # Wine's background services, which live as long as the server: they must
  # not inherit the pipe of a test's output, whose reader would wait for them.
  WINEPREFIX=$prefix "$wineserver" -p30
  WINEPREFIX=$prefix LC_ALL=C "$wine" reg query 'HKCU\Control Panel\International' </dev/null >/dev/null 2>&1
done
# reg.exe has been seen to fail now and then on a busy machine (once in CI,
# on the fourth of these values); a setting is tried up to three times, and
# a setting that never takes shows what reg printed.
set_international() {
  local attempt
  for attempt in 1 2 3; do
    WINEPREFIX=$tmp/iso LC_ALL=C "$wine" reg add 'HKCU\Control Panel\International' /v "$1" /d "$2" /f \
      </dev/null >"$tmp/reg.log" 2>&1 && return 0
    sleep 1
  done
  cat "$tmp/reg.log"
  return 1
}
for value in "sShortDate yyyy-MM-dd" "sDate -" "sTimeFormat HH:mm:ss" "sTime :"; do
  set -- $value
  set_international "$1" "$2" || fail "setting $1 in the registry"
done

# German settings are LC_ALL=de_DE.UTF-8. Wine takes the names of the Linux
# files in the character set of that locale, which the system may not have:
# without it they would be ASCII, and every name outside ASCII garbled. The
# locale is compiled into the temporary folder (Debian's package locales has
# its source) and named by LOCPATH, without touching the system.
mkdir -p "$tmp/locales"
if localedef -i de_DE -f UTF-8 "$tmp/locales/de_DE.UTF-8" >"$tmp/localedef.log" 2>&1 ||
   [ -f "$tmp/locales/de_DE.UTF-8/LC_CTYPE" ]; then
  export LOCPATH=$tmp/locales
else
  cat "$tmp/localedef.log"
  fail "making the de_DE.UTF-8 locale (apt-get install locales)"
fi

echo "== end-to-end tests under Wine"
log=$tmp/tests.log
TABDUMP_WINE=$wine TABDUMP_WINE_EXE=$exe TABDUMP_WINE_HELPER=$helper TABDUMP_WINE_PLAIN_PREFIX=$tmp/plain \
  TABDUMP_WINE_CODE_PAGE_CHECK=$code_page_check \
  WINEPREFIX=$tmp/iso "$linux_build/tests/wine_end_to_end_tests" </dev/null >"$log" 2>&1
status=$?
cat "$log"
ok=$(grep -cE '^\[       OK \] .* \([0-9]+ ms\)$' "$log")
bad=$(grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$log")
skip=$(grep -cE '^\[  SKIPPED \] .* \([0-9]+ ms\)$' "$log")
passed=$((passed + ok))
failed=$((failed + bad))
skipped=$((skipped + skip))
if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
  fail "the test program ended with status $status"
fi
if [ $((ok + bad + skip)) -eq 0 ]; then
  fail "no test ran"
fi
finish
