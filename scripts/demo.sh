#!/usr/bin/env bash
# The arxmod demo: builds the plug-in and the host tool, creates a host
# database in a temporary folder, registers a meter with the sample device
# tree, pings it through the plug-in's Process entry point and runs a small
# program of method invocations on its tree.
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
    --connection tcp://127.0.0.1:1502 --unit 1 --tree mx4110_sample_tree.xml
cp examples/mx4110_sample_tree.xml "$work/translators/"
"$arxhost" --db "$db" ping meter1
"$arxhost" --db "$db" run meter1 "0x100 ARX_read_name" "0x111 ARX_read_label" \
    "0x110 Register_read_value" "0x101 ENReg_read_enumerations" "0x102 NBReg_read_bounds" \
    "0x200 Module_read_input_names" "0x110 Register_write_value 5.0" "0x999 ARX_read_name"
