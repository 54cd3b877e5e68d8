#!/usr/bin/env bash
# Builds and runs every test three times: a plain build, one under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the threaded tests
# under ThreadSanitizer, with warnings as errors. The benchmarks are built (not
# run) in the plain build. Last, a clang tree of its own builds only the fuzz
# targets, replays their seed corpora and fuzzes each for a few seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

run() {  # name, [--target T], ctest arguments..., -- cmake arguments...
  local name=$1; shift
  local build_args=(); if [ "$1" = "--target" ]; then build_args=(--target "$2"); shift 2; fi
  local ctest_args=(); while [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done; shift
  local build="$root/build-$name"
  echo "=== $name ==="
  cmake -S "$root" -B "$build" -G Ninja -DBRANNIC_WERROR=ON "$@" >/dev/null
  cmake --build "$build" -j "$jobs" "${build_args[@]}"
  (cd "$build" && ctest --output-on-failure -j "$jobs" "${ctest_args[@]}")
}

run tests -- -DCMAKE_BUILD_TYPE=Debug -DBRANNIC_BUILD_BENCHMARKS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run asan-ubsan -- -DCMAKE_BUILD_TYPE=Debug -DBRANNIC_SANITIZE=address,undefined
TSAN_OPTIONS=halt_on_error=1 \
  run tsan -L threaded -- -DCMAKE_BUILD_TYPE=Debug -DBRANNIC_SANITIZE=thread
run fuzz --target brannic_fuzzers -L fuzz -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DBRANNIC_FUZZ=ON -DBRANNIC_BUILD_TESTS=OFF
