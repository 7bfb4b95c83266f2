#!/usr/bin/env bash
# The arxmod demo: installs the build dependencies, builds the plug-in and
# the host tool, and runs `arxhost demo`, which walks through the tool
# against the simulated meter in a temporary folder and cleans up after
# itself.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DARXMOD_TESTS=OFF \
      -DARXMOD_BENCHMARKS=OFF > /dev/null
cmake --build build/demo -j "$(nproc)" --target arxhost

build/demo/bin/arxhost demo
