#!/usr/bin/env bash
# Installs what the tests need when it is missing (scripts/install_packages.sh),
# builds everything and runs all tests.
#   scripts/run_tests.sh [build-folder] [extra CMake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_packages.sh test
build=${1:-build}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
