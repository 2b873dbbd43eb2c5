#!/usr/bin/env bash
# The cost of a stored booking: runs dorVek on 1,000 new bookings against a
# private MariaDB server and divides the wall time by 1,000 x 15 ms, the
# pause that precedes every insert. Three runs, each into an emptied table.
#
#   scripts/bench-run.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${1:-build}
count=1000
runs=3

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target dorVek dorVek-config >/dev/null

work=$(mktemp -d /tmp/dorvek-bench-run.XXXXXX)
cleanup() {
  "$root/scripts/sandbox-db.sh" stop "$work/db" || true
  rm -rf "$work"
}
trap cleanup EXIT
scripts/sandbox-db.sh start "$work/db" >/dev/null
source "$work/db/env"
sql() { mariadb --no-defaults -uroot "$@"; }

sql -e "CREATE DATABASE BENCH; USE BENCH; SOURCE sql/schema.sql;"
printf '\n' | "$build/tools/dorVek-config" write "$work/dorvek.ini" \
  --host localhost --database BENCH --user root >/dev/null

# 20 employees with 50 bookings each on one day, one a minute.
python3 - "$count" >"$work/buchungen.txt" <<'PY'
import sys
for i in range(int(sys.argv[1])):
    minute = 7 * 60 + i % 50
    print("BENCH               %08d05.03.2009%02d:%02dKO   0014711-Montage"
          % (i // 50 + 1, minute // 60, minute % 60))
PY

echo "dorVek, $count bookings, each inserted (wall time / ($count x 15 ms)):"
for run in $(seq 1 "$runs"); do
  sql -e "TRUNCATE BENCH.Kvn321Bch"
  start=$(date +%s%N)
  status=0
  "$build/src/transfer/dorVek" "$work/dorvek.ini" "$work/buchungen.txt" "$work/rzl.txt" \
    >/dev/null || status=$?
  end=$(date +%s%N)
  stored=$(sql -N -e "SELECT COUNT(*) FROM BENCH.Kvn321Bch")
  if [[ $status -ne 0 || $stored -ne $count ]]; then
    echo "run $run: status $status, $stored of $count bookings stored" >&2
    exit 1
  fi
  awk -v ns=$((end - start)) -v n="$count" -v r="$run" \
    'BEGIN { printf "run %d: %.0f ms, %.3f ms per booking, ratio %.3f\n", r, ns / 1e6, ns / 1e6 / n, ns / 1e6 / n / 15 }'
done
