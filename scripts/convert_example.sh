#!/usr/bin/env bash
# Builds tabdump and converts the shipped example table, with a header line,
# into build/customers.txt, then shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tabdump
./build/app/tabdump examples/customers.dat build/customers.txt /h "$@"
cat build/customers.txt
