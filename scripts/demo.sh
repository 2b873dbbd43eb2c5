#!/usr/bin/env bash
# A real transfer, start to finish: installs what is missing, builds, starts
# a throwaway MariaDB server in a temporary directory, loads the tables and
# a few translation rows, writes a configuration file with dorVek-config,
# runs dorVek on examples/buchungen.txt, shows what was stored and listed,
# runs the same file again (nothing is stored twice), and stops the server.
#
#   scripts/demo.sh            (as root, or a user with sudo, on Debian 12)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${DORVEK_BUILD_DIR:-build}
bookings=examples/buchungen.txt

step() { printf '\n==> %s\n' "$*"; }

step "Installing missing packages (nothing if all are there)"
scripts/install-deps.sh

step "Building dorVek and dorVek-config in $build/"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target dorVek dorVek-config >/dev/null

work=$(mktemp -d /tmp/dorvek-demo.XXXXXX)
cleanup() {
  "$root/scripts/sandbox-db.sh" stop "$work/db" || true
  rm -rf "$work"
}
trap cleanup EXIT

step "Starting a private MariaDB server in $work/db"
scripts/sandbox-db.sh start "$work/db"
# The client library honours these for host "localhost": that is how the
# program finds this server.
source "$work/db/env"
sql() { mariadb --no-defaults -uroot --default-character-set=utf8mb4 "$@"; }

step "Loading sql/schema.sql into the schemas VANTORIUM and WERK2, and translation rows"
for schema in VANTORIUM WERK2; do
  sql -e "CREATE DATABASE $schema; USE $schema; SOURCE sql/schema.sql;"
  # Terminals send T01 for an ordinary booking; it is booked as 100.
  sql -e "INSERT INTO $schema.Kvn131FcdUeb (FcdOld, FcdNew) VALUES ('T01', '100')"
done
sql -t -e "SELECT 'VANTORIUM' AS Schema_, FcdOld, FcdNew FROM VANTORIUM.Kvn131FcdUeb
           UNION ALL SELECT 'WERK2', FcdOld, FcdNew FROM WERK2.Kvn131FcdUeb"

step "Writing the configuration file (password from standard input: empty here)"
printf '\n' | "$build/tools/dorVek-config" write "$work/dorvek.ini" \
  --host localhost --database VANTORIUM --user root
cat "$work/dorvek.ini"
"$build/tools/dorVek-config" show "$work/dorvek.ini"

step "The booking file $bookings (Latin-1, shown converted)"
iconv -f LATIN1 -t UTF-8 "$bookings"

transfer() {
  local status=0
  echo "\$ dorVek dorvek.ini $bookings rzl.txt TERM-HALLE1"
  "$build/src/transfer/dorVek" "$work/dorvek.ini" "$bookings" "$work/rzl.txt" TERM-HALLE1 \
    >"$work/out.txt" || status=$?
  # The program writes Latin-1 bytes (the ü of "Schlüssel", the cost centres).
  iconv -f LATIN1 -t UTF-8 "$work/out.txt"
  echo "exit status: $status"
}

stored() {
  sql -t -e "SELECT 'VANTORIUM' AS Schema_, BchPnr, BchVon, BchUhr, BchFkt, BchFcd, BchTrm, BchKst
             FROM VANTORIUM.Kvn321Bch
             UNION ALL SELECT 'WERK2', BchPnr, BchVon, BchUhr, BchFkt, BchFcd, BchTrm, BchKst
             FROM WERK2.Kvn321Bch ORDER BY 1, 2, 4"
}

step "First run"
transfer
step "Stored rows"
stored
step "The recalculation list rzl.txt"
iconv -f LATIN1 -t UTF-8 "$work/rzl.txt"

step "Second run of the same file: every booking is reported as already stored"
transfer
step "Stored rows (unchanged)"
stored
step "The recalculation list rzl.txt (emptied: nothing new to recalculate)"
iconv -f LATIN1 -t UTF-8 "$work/rzl.txt"

step "Stopping the server and removing $work"
