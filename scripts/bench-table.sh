#!/usr/bin/env bash
# Times reading and sorting 1,000,000 bookings (echo to /dev/null) against
# `LC_ALL=C sort -s` ordering the same file by the same keys, in one run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target dorvek_booking_table_bench >/dev/null

file=${DORVEK_BENCH_FILE:-/tmp/dorvek-bench-1000000.txt}
export DORVEK_BENCH_FILE=$file
build/bench/dorvek_booking_table_bench --benchmark_format=console | tee /tmp/dorvek-bench.out

# Schema and personnel number (columns 1-28), then year, month, day, time.
keys=(-k1.1,1.28 -k1.35,1.38 -k1.32,1.33 -k1.29,1.30 -k1.39,1.43)
best=""
for _ in 1 2 3; do
  start=$(date +%s%N)
  LC_ALL=C sort -s "${keys[@]}" "$file" >/dev/null
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if [[ -z "$best" || $ms -lt $best ]]; then best=$ms; fi
done
ours=$(awk '/BM_ReadAndSort/ {print $2; exit}' /tmp/dorvek-bench.out)
echo "sort -s: ${best} ms (best of 3); read+sort: ${ours} ms (mean of 3)"
awk -v a="$ours" -v b="$best" 'BEGIN { printf "ratio: %.2f (goal: at most 0.50)\n", a / b }'
