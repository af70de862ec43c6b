#!/usr/bin/env bash
# Installs the Debian or Ubuntu packages that a group of tasks needs and that
# this machine lacks, through apt-get (with sudo when not run as root).  A
# machine that has everything is left alone: nothing is updated or installed.
#
#   scripts/install_packages.sh GROUP...
#
# Groups:
#   build    cmake, g++ and make: enough to build tabdump
#   test     the build group, GoogleTest and the tools the tests drive
#            (sqlite3 and the PostgreSQL server, which load the CSV output;
#            the MariaDB server and client, which load the SQL scripts;
#            man-db to render the manual page; the locale definitions)
#   package  dpkg-deb and file, for the .deb that CPack makes
#   windows  the mingw-w64 cross compiler and Wine, without the recommended
#            packages (fonts, 32-bit Wine, sound), which the tests do not need;
#            the locale definitions, for German settings under Wine
#   fuzz     clang and its libFuzzer runtime
#   bench    sqlite3, bc and GNU time
set -euo pipefail

plain=()    # installed with their recommended packages
lean=()     # installed without them

have_command() { command -v "$1" >/dev/null 2>&1; }

need() {  # need LIST PACKAGE TEST...
  local list=$1 package=$2
  shift 2
  if ! "$@"; then
    if [ "$list" = lean ]; then lean+=("$package"); else plain+=("$package"); fi
  fi
}

fuzzer_works() {
  have_command clang++ || return 1
  local probe
  probe=$(mktemp -d)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cc"
  clang++ -fsanitize=fuzzer "$probe/p.cc" -o "$probe/p" >/dev/null 2>&1
  local status=$?
  rm -rf "$probe"
  return $status
}

# Debian's server binaries, which the tests run themselves (initdb, pg_ctl,
# postgres) on a Unix socket in a temporary folder.
postgres_server_present() { compgen -G '/usr/lib/postgresql/*/bin/postgres' >/dev/null; }

# The MariaDB server, which the tests set up themselves (mariadb-install-db,
# mariadbd) on a Unix socket in a temporary folder, and its client: the core
# packages, which hold the programs without a system service to start.
mariadb_server_present() {
  { [ -x /usr/sbin/mariadbd ] || have_command mariadbd || [ -x /usr/sbin/mysqld ] || have_command mysqld; } &&
    { have_command mariadb-install-db || have_command mysql_install_db; }
}
mariadb_client_present() { have_command mariadb || have_command mysql; }

wine_present() { have_command wine || have_command wine64 || [ -x /usr/lib/wine/wine64 ]; }

for group in "$@"; do
  case "$group" in
    build | test)
      need plain cmake have_command cmake
      need plain g++ have_command g++
      need plain make have_command make
      if [ "$group" = test ]; then
        need plain libgtest-dev test -f /usr/include/gtest/gtest.h
        need plain sqlite3 have_command sqlite3
        need plain jq have_command jq
        # Python's json reads the JSON output back in the tests.
        need plain python3 have_command python3
        need lean postgresql postgres_server_present
        need lean mariadb-server-core mariadb_server_present
        need lean mariadb-client-core mariadb_client_present
        need lean man-db have_command man
        # The definitions of other locales, which a test compiles into a
        # folder of its own to run the program under German settings.
        need lean locales test -f /usr/share/i18n/locales/de_DE
      fi
      ;;
    package)
      need plain dpkg-dev have_command dpkg-deb
      need plain file have_command file
      ;;
    windows)
      need lean g++-mingw-w64-x86-64-posix have_command x86_64-w64-mingw32-g++-posix
      need lean wine64 wine_present
      # German settings under Wine need the de_DE locale's source, which the
      # Wine suite compiles.
      need lean locales test -f /usr/share/i18n/locales/de_DE
      ;;
    fuzz)
      need plain clang fuzzer_works
      need plain libclang-rt-dev fuzzer_works
      ;;
    bench)
      need plain sqlite3 have_command sqlite3
      need plain bc have_command bc
      need plain time test -x /usr/bin/time
      ;;
    *)
      echo "install_packages.sh: unknown group '$group'" >&2
      exit 2
      ;;
  esac
done

[ ${#plain[@]} -gt 0 ] || [ ${#lean[@]} -gt 0 ] || exit 0

# The same package may be wanted by two groups.
mapfile -t plain < <(printf '%s\n' "${plain[@]}" | sort -u | sed '/^$/d')
mapfile -t lean < <(printf '%s\n' "${lean[@]}" | sort -u | sed '/^$/d')

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif have_command sudo; then
  as_root=(sudo)
else
  echo "These packages are missing: ${plain[*]} ${lean[*]}" >&2
  echo "Install them as root (apt-get install ...), or install sudo, and run this again." >&2
  exit 1
fi
if ! have_command apt-get; then
  echo "These packages are missing: ${plain[*]} ${lean[*]}; this is no Debian or Ubuntu system (no apt-get):" >&2
  echo "install their equivalents and run this again." >&2
  exit 1
fi

echo "Installing: ${plain[*]} ${lean[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
if [ ${#plain[@]} -gt 0 ]; then
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${plain[@]}"
fi
if [ ${#lean[@]} -gt 0 ]; then
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${lean[@]}"
fi
