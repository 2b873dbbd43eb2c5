#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, but
# only those that are missing (safe to run again). Needs root for apt-get.
set -euo pipefail

packages=(build-essential cmake pkg-config libmariadb-dev mariadb-server mariadb-client
          libgtest-dev libbenchmark-dev python3 clang)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "missing packages (install them as root): ${missing[*]}" >&2
    exit 1
  fi
else
  sudo_cmd=()
fi
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
# The package's own service must not start: the tests run a private server.
"${sudo_cmd[@]}" env RUNLEVEL=1 apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
