#!/usr/bin/env bash
# Times tabdump against sqlite3 exporting the same rows as CSV, and against
# dd copying as many bytes as tabdump writes (the floor).  Not a test: it only
# prints figures.
#   bench/run.sh [records=1000000] [runs=5]
set -euo pipefail
records=${1:-1000000}
runs=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in sqlite3 /usr/bin/time dd; do
  command -v "$tool" >/dev/null || { echo "bench needs $tool (apt-get install -y sqlite3 time)"; exit 1; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target tabdump make_table >/dev/null
tabdump="$build/app/tabdump"

echo "making a table of $records records..."
"$build/tests/make_table" bench "$records" "$work/t.dat" "$work/rows.csv"
sqlite3 "$work/rows.db" ".mode csv" ".import $work/rows.csv rows"

# Median wall time of `runs` runs after one warm-up, in seconds.
median_time() {
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
  done | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 || true; }

printf '%-42s %9s %12s %9s %9s\n' case seconds rows/s MB/s peak-MB
declare -A seconds
report() {
  local name=$1 out=$2
  shift 2
  local t kb size
  t=$(median_time "$@")
  kb=$(peak_kb "$@")
  size=$(stat -c %s "$out")
  seconds[$name]=$t
  printf '%-42s %9.3f %12.0f %9.1f %9.1f\n' "$name" "$t" "$(echo "$records / $t" | bc -l)" \
    "$(echo "$size / 1048576 / $t" | bc -l)" "$(echo "$kb / 1024" | bc -l)"
}

# Each tabdump case on one thread and on every core.
cores=$(nproc)
report_both() {
  local name=$1 out=$2
  shift 2
  report "$name, 1 thread" "$out" "$@" /threads=1
  report "$name, $cores threads" "$out" "$@" "/threads=$cores"
}
report_both "tabdump" "$work/a.txt" "$tabdump" "$work/t.dat" "$work/a.txt"
report_both "tabdump quoted" "$work/b.txt" "$tabdump" "$work/t.dat" "$work/b.txt" '/qualifier=\34' '/delimiter=,'
report_both "tabdump /csv" "$work/f.csv" "$tabdump" "$work/t.dat" "$work/f.csv" /csv
report_both "tabdump /csv /codepage=1252" "$work/g.csv" "$tabdump" "$work/t.dat" "$work/g.csv" /csv /codepage=1252
report_both "tabdump /json" "$work/j.jsonl" "$tabdump" "$work/t.dat" "$work/j.jsonl" /json
report_both "tabdump /sql=postgres" "$work/p.sql" "$tabdump" "$work/t.dat" "$work/p.sql" /sql=postgres
report_both "tabdump /sql=sqlite" "$work/s.sql" "$tabdump" "$work/t.dat" "$work/s.sql" /sql=sqlite
report_both "tabdump filter" "$work/c.txt" "$tabdump" "$work/t.dat" "$work/c.txt" '/where=(amount > 0) AND (active = "1")'
report "sqlite3 -csv" "$work/d.csv" sh -c "sqlite3 -csv '$work/rows.db' 'SELECT * FROM rows' > '$work/d.csv'"
report "dd (same bytes as tabdump)" "$work/e.txt" dd if="$work/a.txt" of="$work/e.txt" bs=1M

# The loads of the two scripts, for information: the databases' own time.
seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || echo "(failed: $*)" >&2
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
echo
rm -f "$work/load.db"
printf 'load: sqlite3 < /sql=sqlite script      %8.3f s\n' \
  "$(seconds_of sh -c "sqlite3 '$work/load.db' < '$work/s.sql'")"
# A throwaway PostgreSQL server on a Unix socket in the work folder, as the
# tests start one (as nobody when run as root).
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -n "$pg_bin" ] && [ -x "$pg_bin/initdb" ]; then
  pg_dir="$work/pg"
  mkdir -p "$pg_dir"
  as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$pg_dir" "$work" && chmod 755 "$work"
    chmod 644 "$work/p.sql"
    as_user=(runuser -u nobody --)
  fi
  if "${as_user[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U bench --auth=trust -E UTF8 --no-locale --no-sync \
       >/dev/null 2>&1 &&
     "${as_user[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/log" -w \
       -o "-c listen_addresses='' -k $pg_dir -p 5499 -c fsync=off" start >/dev/null 2>&1; then
    printf 'load: psql -f /sql=postgres script      %8.3f s\n' \
      "$(seconds_of "${as_user[@]}" "$pg_bin/psql" -X -q -h "$pg_dir" -p 5499 -U bench -d postgres \
         -v ON_ERROR_STOP=1 -f "$work/p.sql")"
    "${as_user[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m fast -w stop >/dev/null 2>&1 || true
  else
    echo "load: psql (the throwaway server did not start; see $pg_dir/log)"
  fi
else
  echo "load: psql (no PostgreSQL server installed)"
fi

echo
for threads in 1 "$cores"; do
  suffix=", $threads thread"
  [ "$threads" = 1 ] || suffix=", $threads threads"
  printf 'tabdump%s / sqlite3 speed:        %5.2fx (filter: %.2fx)\n' "$suffix" \
    "$(echo "${seconds[sqlite3 -csv]} / ${seconds[tabdump$suffix]}" | bc -l)" \
    "$(echo "${seconds[sqlite3 -csv]} / ${seconds[tabdump filter$suffix]}" | bc -l)"
  # The goal for /json: no slower than /csv by more than a quarter.
  printf 'tabdump /json%s / /csv time:      %5.2fx\n' "$suffix" \
    "$(echo "${seconds[tabdump /json$suffix]} / ${seconds[tabdump /csv$suffix]}" | bc -l)"
  printf 'tabdump%s / dd speed:             %5.2fx\n' "$suffix" \
    "$(echo "${seconds[dd (same bytes as tabdump)]} / ${seconds[tabdump$suffix]}" | bc -l)"
done
printf 'all cores / one thread:                  %5.2fx\n' \
  "$(echo "${seconds[tabdump, 1 thread]} / ${seconds[tabdump, $cores threads]}" | bc -l)"
