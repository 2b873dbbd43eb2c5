#!/usr/bin/env bash
# A private MariaDB server for tests and the demo: its own data directory,
# Unix socket and a free loopback TCP port. Nothing system-wide is touched.
#
#   scripts/sandbox-db.sh start DIR   start (creating DIR) and wait until it answers
#   scripts/sandbox-db.sh stop DIR    stop the server started in DIR, by its pid
#   scripts/sandbox-db.sh env DIR     print the exports that point clients at it
#
# After start, DIR/env holds MYSQL_UNIX_PORT and MYSQL_TCP_PORT; the
# server's root account has no password (clients: mariadb -uroot).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
if [[ -z "$cmd" || -z "$dir" ]]; then
  echo "usage: $0 start|stop|env DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

free_port() {
  python3 - <<'PY' 2>/dev/null || echo $((20000 + RANDOM % 20000))
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

find_bin() {
  local name
  for name in "$@"; do
    if command -v "$name" >/dev/null 2>&1; then command -v "$name"; return 0; fi
    if [[ -x "/usr/sbin/$name" ]]; then echo "/usr/sbin/$name"; return 0; fi
  done
  return 1
}

pid_alive() { [[ -f "$dir/mariadbd.pid" ]] && kill -0 "$(cat "$dir/mariadbd.pid")" 2>/dev/null; }

case "$cmd" in
  start)
    if pid_alive; then
      echo "sandbox server already running in $dir" >&2
      cat "$dir/env"
      exit 0
    fi
    server=$(find_bin mariadbd mysqld) || { echo "mariadbd not found (apt-get install mariadb-server)" >&2; exit 1; }
    install_db=$(find_bin mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 1; }
    user_opt=()
    if [[ $(id -u) -eq 0 ]]; then user_opt=(--user=root); fi
    if [[ ! -d "$dir/data/mysql" ]]; then
      rm -rf "$dir/data"
      "$install_db" --no-defaults --datadir="$dir/data" "${user_opt[@]}" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 ||
        { cat "$dir/install.log" >&2; exit 1; }
    fi
    port=$(free_port)
    sock="$dir/mysqld.sock"
    "$server" --no-defaults --datadir="$dir/data" "${user_opt[@]}" \
      --socket="$sock" --port="$port" --bind-address=127.0.0.1 \
      --pid-file="$dir/mariadbd.pid" --log-error="$dir/error.log" \
      --skip-name-resolve --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
      --innodb-flush-log-at-trx-commit=2 \
      --max-connections=200 \
      >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
      if [[ -S "$sock" ]] && mariadb --no-defaults -uroot --socket="$sock" -e 'SELECT 1' >/dev/null 2>&1; then
        printf 'export MYSQL_UNIX_PORT=%q\nexport MYSQL_TCP_PORT=%q\n' "$sock" "$port" >"$dir/env"
        cat "$dir/env"
        exit 0
      fi
      sleep 0.1
    done
    echo "sandbox server did not answer; see $dir/error.log" >&2
    tail -n 20 "$dir/error.log" >&2 || true
    exit 1
    ;;
  stop)
    if pid_alive; then
      pid=$(cat "$dir/mariadbd.pid")
      kill "$pid"
      for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/mariadbd.pid"
    ;;
  env)
    cat "$dir/env"
    ;;
  *)
    echo "usage: $0 start|stop|env DIR" >&2
    exit 2
    ;;
esac
