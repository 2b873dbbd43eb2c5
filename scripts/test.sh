#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, starts a private
# MariaDB server, runs the tests with ctest and stops the server again.
#
#   scripts/test.sh              Release build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=build
cmake_args=(-DCMAKE_BUILD_TYPE=Release)
if [[ "${1:-}" == "--sanitize" ]]; then
  build=build-asan
  cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVEK_SANITIZE=ON -DDORVEK_BENCHMARKS=OFF)
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi

scripts/install-deps.sh
cmake -S . -B "$build" "${cmake_args[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

sandbox=$(mktemp -d /tmp/dorvek-sandbox.XXXXXX)
cleanup() {
  "$root/scripts/sandbox-db.sh" stop "$sandbox" || true
  rm -rf "$sandbox"
}
trap cleanup EXIT
scripts/sandbox-db.sh start "$sandbox" >/dev/null
source "$sandbox/env"
export DORVEK_SANDBOX_DIR="$sandbox"

cd "$build"
ctest --output-on-failure --timeout 600 -j2
