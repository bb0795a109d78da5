#!/usr/bin/env bash
# The CMake package: a client project configured against the installation alone
# asks for version 1.0, builds, registers the component named by Morvane_COMPONENT
# and creates a tracker in a registry of its own; asking for version 2.0 is refused.
#   cmake_client_test.sh PREFIX WORK_DIR CLIENT_PROJECT CXX_COMPILER [CLIENT_FLAGS...]
set -euo pipefail
prefix=$1 work_dir=$2 project=$3 cxx=$4
shift 4
flags="$*"

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/cmake_client.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

configure() {
  cmake -S "$project" -B "$scratch/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@"
}

configure >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log" >&2; exit 1; }
cmake --build "$scratch/build" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log" >&2; exit 1; }
MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db env -u LD_LIBRARY_PATH "$scratch/build/cmake-client"

if configure -DREQUESTED_VERSION=2.0 >"$scratch/refused.log" 2>&1 ||
   ! grep -q 'compatible with requested version "2.0"' "$scratch/refused.log"; then
  echo "a client asking for Morvane 2.0 was not refused:" >&2
  cat "$scratch/refused.log" >&2
  exit 1
fi
