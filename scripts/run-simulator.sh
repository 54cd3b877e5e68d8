#!/usr/bin/env bash
# Builds brannic-sim and runs it: an interactive session from a terminal,
# otherwise the bundled demo script. Extra arguments go to brannic-sim.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRANNIC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target brannic-sim
sim="$build/platform/sim/brannic-sim"
if [ $# -gt 0 ]; then exec "$sim" "$@"; fi
if [ -t 0 ]; then exec "$sim"; fi
exec "$sim" "$root/platform/sim/demo.sim"
