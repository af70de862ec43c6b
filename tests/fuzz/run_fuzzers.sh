#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for SECONDS seconds, one
# target at a time in a single process, so that it shares a small machine.
#
#   tests/fuzz/run_fuzzers.sh SECONDS [BUILD_DIR] [TARGET...]
#
# Targets: table, filter, cmdline (default: all three).  The seeds are made
# afresh from the test writer and the tests' filters; what a run adds to the
# corpus stays in BUILD_DIR/corpus for the next run.  A finding stops the
# script with status 1 and leaves the input in BUILD_DIR/findings; turn it
# into a regression test, fix the fault, and delete it.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:?usage: run_fuzzers.sh SECONDS [BUILD_DIR] [TARGET...]}
build=${2:-build-fuzz}
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(table filter cmdline)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTABDUMP_FUZZ=ON -DTABDUMP_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_seeds "${targets[@]/#/fuzz_}"

seeds="$build/seeds"
rm -rf "$seeds"
"$build/tests/fuzz/fuzz_seeds" . "$seeds"
mkdir -p "$build/findings"

# Memory limits: a table may make the reader hold a record, a block and a
# BLOB no larger than its file; texts of a filter are capped by the language.
declare -A options=(
  [table]="-max_len=65536 -malloc_limit_mb=64 -rss_limit_mb=512"
  [filter]="-max_len=4096 -malloc_limit_mb=512 -rss_limit_mb=1536 -dict=tests/fuzz/filter.dict"
  [cmdline]="-max_len=1024 -malloc_limit_mb=64 -rss_limit_mb=512"
)

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/fuzz-$target.log"
  echo "== fuzzing $target for $seconds s"
  # shellcheck disable=SC2086
  if "$build/tests/fuzz/fuzz_$target" "$corpus" "$seeds/$target" ${options[$target]} \
      -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" >"$log" 2>&1; then
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 | sed -E 's/.*DONE +//; s/ lim:.*//' || true)
    execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    rss=$(grep -E '^stat::peak_rss_mb' "$log" | awk '{print $2}')
    echo "$target: $execs executions, peak RSS ${rss} MB; $done_line"
  else
    status=1
    echo "$target: FINDING (log: $log)"
    grep -E 'ERROR|SUMMARY|Test unit written|runtime error|deadly signal|==[0-9]+==' "$log" | head -20 || true
  fi
done
exit $status
