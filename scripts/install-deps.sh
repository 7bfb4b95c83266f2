#!/usr/bin/env bash
# Installs the Debian packages that building and testing arxmod need.
# Asks apt only when something is missing, so repeated runs are quick.
set -euo pipefail

packages=(g++ clang clang-format cmake ninja-build bison libgtest-dev libgmock-dev libbenchmark-dev
          libpugixml-dev libsqlite3-dev libcli11-dev sqlite3 python3-pymodbus libmodbus-dev
          libclang-rt-14-dev) # clang's libFuzzer and sanitizer runtimes (fuzz/), only recommended by clang

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
