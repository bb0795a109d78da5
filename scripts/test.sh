#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build, and a clang build
# with AddressSanitizer and UndefinedBehaviorSanitizer (plus the fuzz targets), in
# which any sanitizer report fails the run. A third, ThreadSanitizer build runs only
# the concurrent-use test of the registered component.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== optimised build =="
run_suite build/release -DCMAKE_BUILD_TYPE=Release -DMORVANE_BUILD_BENCH=ON -DCMAKE_INSTALL_PREFIX=/usr

echo "== sanitizer build (address, undefined) =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
CC=clang CXX=clang++ run_suite build/asan -DCMAKE_BUILD_TYPE=Debug \
  -DMORVANE_SANITIZE=address,undefined -DMORVANE_BUILD_FUZZ=ON

echo "== thread sanitizer build (concurrent use of the component) =="
# Only what the test needs is built; any report fails the run.
CC=clang CXX=clang++ cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMORVANE_SANITIZE=thread
cmake --build build/tsan -j "$jobs" --target integration_concurrent_use Morvane
TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -R '^ConcurrentUseTest\.' --no-tests=error --output-on-failure
