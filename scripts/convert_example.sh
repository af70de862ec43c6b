#!/usr/bin/env bash
# Installs what building needs when it is missing (scripts/install_packages.sh),
# builds tabdump alone (no tests, so GoogleTest is not needed) and converts the
# shipped example table, with a header line, into build-example/customers.txt,
# then shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_packages.sh build
cmake -S . -B build-example -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABDUMP_TESTS=OFF >/dev/null
cmake --build build-example -j"$(nproc)" --target tabdump
./build-example/app/tabdump examples/customers.dat build-example/customers.txt /h "$@"
cat build-example/customers.txt
