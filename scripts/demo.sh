#!/usr/bin/env bash
# The arxmod demo: builds the plug-in and the host tool, creates a host
# database in a temporary folder, registers a meter and pings it through
# the plug-in's Process entry point.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DARXMOD_TESTS=OFF \
      -DARXMOD_BENCHMARKS=OFF > /dev/null
cmake --build build/demo -j "$(nproc)" --target arxhost

arxhost=build/demo/bin/arxhost
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db="$work/host.db"

set -x
"$arxhost" --db "$db" init
"$arxhost" --db "$db" device add meter1 --site Plant --port Line1 \
    --connection tcp://127.0.0.1:1502 --unit 1
"$arxhost" --db "$db" ping meter1
