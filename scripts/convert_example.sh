#!/usr/bin/env bash
# Installs what building needs when it is missing (scripts/install_packages.sh),
# builds tabdump and converts the shipped example table, with a header line,
# into build/customers.txt, then shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_packages.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tabdump
./build/app/tabdump examples/customers.dat build/customers.txt /h "$@"
cat build/customers.txt
