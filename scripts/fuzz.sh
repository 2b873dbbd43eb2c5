#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while from the
# corpus kept in fuzz/corpus (new inputs go to a scratch copy).
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true

"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVEK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for f in build-fuzz/fuzz/*_fuzz; do targets+=("$(basename "$f")"); done
fi
scratch=$(mktemp -d /tmp/dorvek-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
status=0
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/${t%_fuzz}"
  mkdir -p "$scratch/$t" "$scratch/$t-crashes"
  echo "== $t: ${seconds}s"
  if ! build-fuzz/fuzz/$t -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$scratch/$t-crashes/" "$scratch/$t" "$seeds" 2>"$scratch/$t.log"; then
    status=1
    tail -n 40 "$scratch/$t.log"
    mkdir -p fuzz/crashes
    cp "$scratch/$t-crashes"/* fuzz/crashes/ 2>/dev/null || true
    echo "$t: crash; inputs copied to fuzz/crashes/" >&2
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$scratch/$t.log" || true
  fi
done
exit $status
