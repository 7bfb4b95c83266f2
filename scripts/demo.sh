#!/usr/bin/env bash
# The arxmod demo: installs the build dependencies, builds the plug-in and
# the host tool (in build/demo, with the compiler settings CI builds with),
# and runs `arxhost demo`, which walks through the tool against the
# simulated meter in a temporary folder and cleans up after itself.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
log=build/demo/build.log
mkdir -p build/demo
echo "Building the plug-in and arxhost in build/demo (a few minutes the first time; output in $log)"
if ! { cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARXMOD_TESTS=OFF \
             -DARXMOD_BENCHMARKS=OFF &&
       cmake --build build/demo -j "$(nproc)" --target arxhost; } > "$log" 2>&1; then
  tail -n 30 "$log"
  echo "The build failed; $log has its whole output." >&2
  exit 1
fi

exec build/demo/bin/arxhost demo
